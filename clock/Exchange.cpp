#include "clock/Exchange.h"

#include <cmath>
#include <string_view>

#include "clock/TimeProtocol.h"

namespace {

// Connect, send nothing, read the four bytes until the server closes.
class TimeExchange final : public Exchange {
public:
    SocketProtocol Protocol() const override { return SocketProtocol::Tcp; }
    uint16_t Port() const override { return kTimePort; }
    std::string Start(const SystemClock&) override { return {}; }
    bool Arrived(std::string bytes, const SystemClock& clock) override {
        reply_.Append(bytes);
        arrivedAt_ = clock.MonotonicSeconds();
        return false;
    }
    ExchangeEnd Finish(const SystemClock& clock) override {
        using K = ExchangeFailure::Kind;
        switch (reply_.Check()) {
        case ReplyBuffer::Outcome::NoResponse: return {std::nullopt, {K::NoResponse}};
        case ReplyBuffer::Outcome::ErrorInData: return {std::nullopt, {K::ErrorInData}};
        case ReplyBuffer::Outcome::Complete: break;
        }
        std::optional<SystemTime> serverTime = DecodeReply(reply_.Count());
        if (!serverTime) return {std::nullopt, {K::Overflow}};
        // A message box or menu may have held the wait long after the reply
        // came: the server's time has gone on since, as the system clock has.
        AddSeconds(*serverTime, std::llround(clock.MonotonicSeconds() - arrivedAt_));
        return {Sample{*serverTime, clock.GetSystemTime(), true, std::nullopt}, {}};
    }

private:
    ReplyBuffer reply_;
    double arrivedAt_ = 0;  // monotonic seconds of the last bytes received
};

// Only the server asked has seen our transmit timestamp; a datagram that
// does not carry it back as its originate timestamp was made up elsewhere.
bool EchoesTransmit(std::string_view datagram, NtpTimestamp transmit) {
    constexpr size_t kOriginateAt = 24;
    if (datagram.size() < kOriginateAt + 8) return false;
    NtpTimestamp originate = 0;
    for (size_t i = kOriginateAt; i < kOriginateAt + 8; ++i)
        originate = originate << 8 | static_cast<unsigned char>(datagram[i]);
    return originate == transmit;
}

// One request, and the first datagram that echoes it decides. Its offset is
// exact to the millisecond, so a difference is believed at once.
class SntpExchange final : public Exchange {
public:
    // Datagrams read at most: a forger cannot end the exchange, and a flood
    // costs no more than this.
    static constexpr int kMaxDatagrams = 16;

    SocketProtocol Protocol() const override { return SocketProtocol::Udp; }
    uint16_t Port() const override { return kNtpPort; }
    std::string Start(const SystemClock& clock) override {
        transmit_ = RandomNtpTimestamp();
        sentAt_ = clock.GetSystemTime();
        sentAtMonotonic_ = clock.MonotonicSeconds();
        return SntpRequest(transmit_);
    }
    // The last datagram allowed decides too, as data in error.
    bool Arrived(std::string datagram, const SystemClock& clock) override {
        if (datagram.empty() || reply_) return false;
        if (!EchoesTransmit(datagram, transmit_) && ++datagrams_ < kMaxDatagrams) return false;
        reply_ = std::move(datagram);
        replyAtMonotonic_ = clock.MonotonicSeconds();
        return true;
    }
    ExchangeEnd Finish(const SystemClock& clock) override {
        using K = ExchangeFailure::Kind;
        if (!reply_) return {std::nullopt, {K::NoResponse}};
        const SntpReply reply = CheckSntpReply(*reply_, transmit_);
        if (reply.outcome == SntpReply::Outcome::KissOfDeath) return {std::nullopt, {K::Kiss, reply.kissCode}};
        if (reply.outcome != SntpReply::Outcome::Valid) return {std::nullopt, {K::ErrorInData}};
        // The receive time follows from the send time on the monotonic clock,
        // so a change of the system clock during the wait cannot spoil it.
        const int64_t t1 = MicrosecondsSince1900(sentAt_);
        const int64_t t4 = t1 + std::llround((replyAtMonotonic_ - sentAtMonotonic_) * 1e6);
        const ClockOffset offset =
            OffsetAndDelay(t1, NtpToMicroseconds(reply.receive), NtpToMicroseconds(reply.transmit), t4);
        Sample sample{{}, clock.GetSystemTime(), false, offset};
        sample.serverTime = sample.systemTime;
        AddMilliseconds(sample.serverTime, std::llround(static_cast<double>(offset.offsetUs) / 1000));
        return {sample, {}};
    }

private:
    NtpTimestamp transmit_ = 0;
    SystemTime sentAt_;
    double sentAtMonotonic_ = 0;
    int datagrams_ = 0;  // read so far that did not echo the request
    std::optional<std::string> reply_;
    double replyAtMonotonic_ = 0;
};

}  // namespace

std::unique_ptr<Exchange> MakeExchange(ServerProtocol protocol) {
    if (protocol == ServerProtocol::Ntp) return std::make_unique<SntpExchange>();
    return std::make_unique<TimeExchange>();
}
