#include "clock/TimeProtocol.h"

void ReplyBuffer::Clear() { *this = ReplyBuffer(); }

void ReplyBuffer::Append(std::string_view bytes) {
    for (char c : bytes) {
        if (received_ < kReplyLength) first_[received_] = c;
        if (received_ <= kReplyLength) ++received_;
        if (counted_ == 0 && c == ' ') continue;
        if (counted_ < kReplyLength) count_[counted_++] = c;
        else if (c != ' ') junkAfterCount_ = true;
    }
}

ReplyBuffer::Outcome ReplyBuffer::Check() const {
    if (counted_ == 0) return Outcome::NoResponse;
    if (received_ == kReplyLength) return Outcome::Complete;
    if (counted_ < kReplyLength || junkAfterCount_) return Outcome::ErrorInData;
    return Outcome::Complete;
}

std::string_view ReplyBuffer::Count() const {
    if (Check() != Outcome::Complete) return {};
    return {received_ == kReplyLength ? first_ : count_, kReplyLength};
}

std::optional<SystemTime> DecodeReply(std::string_view four) {
    if (four.size() != kReplyLength) return std::nullopt;
    uint32_t value = 0;
    for (char c : four) value = value * 256 + static_cast<unsigned char>(c);
    return FromSecondsSince1900(UnfoldEra(value));
}
