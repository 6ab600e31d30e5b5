#include "clock/Sntp.h"

#include <chrono>
#include <cstdlib>
#include <random>

namespace {

constexpr uint8_t kVersion = 4;
// Servers copy the request's version; a few old ones still answer as 3.
constexpr uint8_t kOldestVersion = 3;
constexpr uint8_t kModeClient = 3, kModeServer = 4;
constexpr uint8_t kLeapUnsynchronised = 3;
constexpr uint8_t kMaxStratum = 15;
// A server that is this unsure of its own time, root delay / 2 + root
// dispersion in seconds 16.16, is as good as none: NTP's own bound.
constexpr int64_t kMaxRootDistance = int64_t{16} << 16;

uint64_t BigEndian(std::string_view bytes, size_t at, size_t length) {
    uint64_t v = 0;
    for (size_t i = 0; i < length; ++i) v = v << 8 | static_cast<unsigned char>(bytes[at + i]);
    return v;
}

// To the last 2^-32 s, which microseconds would round away, and across the
// 2036 wrap.
bool Before(NtpTimestamp a, NtpTimestamp b) {
    const int64_t aSeconds = NtpToMicroseconds(a & ~NtpTimestamp{0xFFFFFFFF}) / 1'000'000;
    const int64_t bSeconds = NtpToMicroseconds(b & ~NtpTimestamp{0xFFFFFFFF}) / 1'000'000;
    return aSeconds != bSeconds ? aSeconds < bSeconds : (a & 0xFFFFFFFF) < (b & 0xFFFFFFFF);
}

}  // namespace

int64_t NtpToMicroseconds(NtpTimestamp t) {
    const int64_t seconds = UnfoldEra(static_cast<uint32_t>(t >> 32));
    return seconds * 1'000'000 + static_cast<int64_t>(((t & 0xFFFFFFFFu) * 1'000'000) >> 32);
}

std::string SntpRequest(NtpTimestamp transmit) {
    std::string packet(kNtpPacketLength, '\0');
    packet[0] = static_cast<char>(kVersion << 3 | kModeClient);
    for (int i = 0; i < 8; ++i) packet[40 + i] = static_cast<char>(transmit >> (56 - 8 * i));
    return packet;
}

NtpTimestamp RandomNtpTimestamp() {
    try {
        std::random_device device;
        return NtpTimestamp{device()} << 32 | device();
    } catch (const std::exception&) {
        // Never seen on Windows, where the generator is rand_s: the counter's
        // low bits are still hard to guess from afar.
        return static_cast<NtpTimestamp>(std::chrono::high_resolution_clock::now().time_since_epoch().count());
    }
}

SntpReply CheckSntpReply(std::string_view datagram, NtpTimestamp sent) {
    SntpReply reply;
    if (datagram.size() < kNtpPacketLength) return reply;
    const auto first = static_cast<unsigned char>(datagram[0]);
    const auto stratum = static_cast<unsigned char>(datagram[1]);
    const int version = first >> 3 & 7;
    if ((first & 7) != kModeServer || version < kOldestVersion || version > kVersion ||
        BigEndian(datagram, 24, 8) != sent)
        return reply;
    if (stratum == 0) {
        const std::string code(datagram.substr(12, 4));
        if (code == "RATE" || code == "DENY" || code == "RSTR") {
            reply.outcome = SntpReply::Outcome::KissOfDeath;
            reply.kissCode = code;
        }
        return reply;
    }
    reply.receive = BigEndian(datagram, 32, 8);
    reply.transmit = BigEndian(datagram, 40, 8);
    if (first >> 6 == kLeapUnsynchronised || stratum > kMaxStratum || reply.transmit == 0 || reply.receive == 0)
        return reply;
    // A reply sent before it was received is made up, whatever else it says.
    if (Before(reply.transmit, reply.receive)) return reply;
    const auto rootDelay = static_cast<int32_t>(BigEndian(datagram, 4, 4));
    const auto rootDispersion = static_cast<int64_t>(BigEndian(datagram, 8, 4));
    // A negative delay is nonsense; it must not buy a larger dispersion.
    if (std::llabs(int64_t{rootDelay}) / 2 + rootDispersion > kMaxRootDistance) return reply;
    reply.outcome = SntpReply::Outcome::Valid;
    return reply;
}

ClockOffset OffsetAndDelay(int64_t t1, int64_t t2, int64_t t3, int64_t t4) {
    return {((t2 - t1) + (t3 - t4)) / 2, (t4 - t1) - (t3 - t2)};
}
