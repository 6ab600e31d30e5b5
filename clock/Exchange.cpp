#include "clock/Exchange.h"

#include <cmath>
#include <random>
#include <string_view>

#include "clock/NtsExchange.h"
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

// Crypto-quality where it matters: rand_s on Windows, the kernel's elsewhere.
std::string RandomBytes(size_t n) {
    std::random_device device;
    std::string bytes(n, '\0');
    for (char& c : bytes) c = static_cast<char>(device());
    return bytes;
}

// One request, and the first datagram that echoes it decides. Its offset is
// exact to the millisecond, so a difference is believed at once.
class SntpExchange : public Exchange {
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
        return Request(transmit_);
    }
    // The last datagram allowed decides too, as data in error.
    bool Arrived(std::string datagram, const SystemClock& clock) override {
        if (datagram.empty() || reply_) return false;
        if (!Accepted(datagram) && ++datagrams_ < kMaxDatagrams) return false;
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

protected:
    virtual std::string Request(NtpTimestamp transmit) { return SntpRequest(transmit); }
    // Whether datagram may be the server's own reply to ours.
    virtual bool Accepted(const std::string& datagram) { return EchoesTransmit(datagram, transmit_); }

    NtpTimestamp transmit_ = 0;
    std::optional<std::string> reply_;

private:
    SystemTime sentAt_;
    double sentAtMonotonic_ = 0;
    int datagrams_ = 0;  // read so far that were not accepted
    double replyAtMonotonic_ = 0;
};

// Only a reply that echoes the unique identifier and that the server-to-
// client key authenticates is the server's; anything else is waited past, as
// a forgery, and named at the end if nothing better came.
class NtsExchange final : public SntpExchange {
public:
    explicit NtsExchange(NtsAssociation& a) : association_(a) {}

    uint16_t Port() const override { return association_.port; }
    std::string Server() const override { return association_.server; }
    ExchangeEnd Finish(const SystemClock& clock) override {
        using K = ExchangeFailure::Kind;
        if (verdict_.outcome == NtsReply::Outcome::Nak) {
            association_.cookies.Empty();
            return {std::nullopt, {K::NtsNak}};
        }
        if (!reply_ || verdict_.outcome != NtsReply::Outcome::Authentic)
            return {std::nullopt, {rejected_ ? K::NtsUnauthenticated : K::NoResponse}};
        association_.cookies.Refill(std::move(verdict_.cookies));
        ExchangeEnd end = SntpExchange::Finish(clock);
        if (end.sample) end.sample->authenticated = true;
        return end;
    }

protected:
    std::string Request(NtpTimestamp transmit) override {
        uniqueId_ = RandomBytes(kNtsUniqueIdLength);
        // The run asks only with a cookie in the jar.
        const std::string cookie = association_.cookies.Take().value_or(std::string());
        return NtsRequest(transmit, uniqueId_, cookie, association_.cookies.PlaceholdersWanted(), association_.c2s,
                          RandomBytes(kNtsNonceLength));
    }
    bool Accepted(const std::string& datagram) override {
        if (!EchoesTransmit(datagram, transmit_)) return false;
        NtsReply verdict = CheckNtsReply(datagram, uniqueId_, association_.s2c);
        if (verdict.outcome == NtsReply::Outcome::ErrorInData) return rejected_ = true, false;
        verdict_ = std::move(verdict);
        return true;
    }

private:
    NtsAssociation& association_;
    std::string uniqueId_;
    NtsReply verdict_;
    bool rejected_ = false;  // a datagram echoed our request but was not the server's
};

}  // namespace

std::unique_ptr<Exchange> MakeExchange(ServerProtocol protocol) {
    switch (protocol) {
    case ServerProtocol::Time: return std::make_unique<TimeExchange>();
    case ServerProtocol::Ntp: return std::make_unique<SntpExchange>();
    // Never plain SNTP in its place: that would be unauthenticated time from
    // a server the list trusts only with NTS.
    case ServerProtocol::Nts: break;
    }
    return nullptr;
}

std::unique_ptr<Exchange> MakeNtsExchange(NtsAssociation& association) {
    return std::make_unique<NtsExchange>(association);
}
