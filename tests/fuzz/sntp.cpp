// Any datagram as the answer of an NTP server, or of anyone who can reach the
// port: what passes is a server's reply, and any timestamps in it make an
// offset and a clock reading without overflow (the sanitizers watch).
#include "clock/Sntp.h"
#include "fuzz/Property.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The originate timestamp taken as the one sent, so the checks past it are reached.
    NtpTimestamp sent = 0;
    for (size_t i = 24; i < 32 && i < size; ++i) sent = sent << 8 | data[i];
    const SntpReply reply = CheckSntpReply(Text(data, size), sent);
    if (reply.outcome == SntpReply::Outcome::ErrorInData) return 0;
    REQUIRE(size >= kNtpPacketLength && (data[0] & 7) == 4);
    if (reply.outcome == SntpReply::Outcome::KissOfDeath) {
        REQUIRE(data[1] == 0 && reply.kissCode.size() == 4);
        return 0;
    }
    REQUIRE(data[0] >> 6 != 3 && data[1] >= 1 && data[1] <= 15 && reply.transmit != 0);
    const int64_t t1 = NtpToMicroseconds(sent);
    const ClockOffset offset =
        OffsetAndDelay(t1, NtpToMicroseconds(reply.receive), NtpToMicroseconds(reply.transmit), t1 + 8'000'000);
    SystemTime clock{2026, 12, 1, 7, 5, 0, 0, 0};
    AddMilliseconds(clock, offset.offsetUs / 1000);
    REQUIRE(clock.wMonth >= 1 && clock.wMonth <= 12 && clock.wDay >= 1 && clock.wDay <= 31 && clock.wHour < 24 &&
            clock.wMinute < 60 && clock.wSecond < 60 && clock.wMilliseconds < 1000);
    return 0;
}
