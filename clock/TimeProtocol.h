#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/SystemClock.h"

inline constexpr uint16_t kTimePort = 37;
inline constexpr size_t kReplyLength = 4;

// ReplyData: what the server sent, as far as it can still change the outcome.
// The count is binary, so any of its bytes may be a blank: exactly four bytes
// are the count unless all of them are blanks. Around a longer reply, blanks that some servers add are
// tolerated: leading ones are skipped, the next four bytes are the count, and
// only blanks may follow. A server that floods the connection therefore costs
// a few bytes, not memory.
class ReplyBuffer {
public:
    enum class Outcome { NoResponse, ErrorInData, Complete };

    void Clear();
    void Append(std::string_view bytes);

    Outcome Check() const;
    // The four bytes of the count when the reply is complete.
    std::string_view Count() const;

private:
    char first_[kReplyLength] = {};  // the first bytes received, as they came
    char count_[kReplyLength] = {};  // the bytes after the leading blanks
    size_t received_ = 0;            // saturates just past the reply length
    size_t counted_ = 0;
    bool junkAfterCount_ = false;
};

// Seconds since 1900-01-01 in network byte order. The 32-bit count wraps in
// 2036: a count with its top bit set lies in 1968-2036, one with it clear in
// 2036-2104. Empty only when the input is not four bytes.
std::optional<SystemTime> DecodeReply(std::string_view four);

// Moves the whole instant back by offsetMinutes, across midnight and month
// ends alike.
void ApplyOffset(SystemTime& utc, int32_t offsetMinutes);

// Moves the whole instant forward by seconds (back when negative).
void AddSeconds(SystemTime& utc, int64_t seconds);

// Seconds between two instants, ignoring milliseconds: a - b.
int64_t SecondsBetween(const SystemTime& a, const SystemTime& b);

// "yyyy-mm-dd", the one date form that reads the same in every region.
std::string FormatDate(const SystemTime& t);

// "h:mm:ss AMPM" with the locale's designator.
std::string FormatHourMinuteSecondAmPm(const SystemTime& local, const SystemClock& clock);
