#pragma once
#include <cstdint>
#include <optional>
#include <string_view>

#include "clock/Calendar.h"

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

// Seconds since 1900-01-01 in network byte order, in the era that UnfoldEra
// picks. Empty only when the input is not four bytes.
std::optional<SystemTime> DecodeReply(std::string_view four);
