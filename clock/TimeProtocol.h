#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/SystemClock.h"

inline constexpr uint16_t kTimePort = 37;
inline constexpr size_t kReplyLength = 4;

// ReplyData: what the server sent, as far as it can still change the outcome.
// The outcome depends only on the reply with spaces trimmed at both ends, and
// any trimmed reply longer than four characters is an error whatever follows,
// so a server that floods the connection costs a few bytes, not memory.
class ReplyBuffer {
public:
    enum class Outcome { NoResponse, ErrorInData, Complete };

    void Clear();
    void Append(std::string_view bytes);

    Outcome Check() const;
    // The four characters of a complete reply; empty otherwise.
    const std::string& Trimmed() const { return kept_; }

private:
    std::string kept_;            // from the first non-space to the last one
    unsigned pendingSpaces_ = 0;  // spaces after kept_, saturating
    bool tooLong_ = false;
};

// Seconds since 1900-01-01 in network byte order. Empty when the value lies
// below what a signed 32-bit count from 1990 can hold: the protocol's overflow.
std::optional<SystemTime> DecodeReply(std::string_view four);

// Moves the whole instant back by offsetMinutes, across midnight and month
// ends alike.
void ApplyOffset(SystemTime& utc, int32_t offsetMinutes);

// Seconds between two instants, ignoring milliseconds: a - b.
int64_t SecondsBetween(const SystemTime& a, const SystemTime& b);

// "h:mm:ss AMPM" with the locale's designator.
std::string FormatHourMinuteSecondAmPm(const SystemTime& local, const SystemClock& clock);
