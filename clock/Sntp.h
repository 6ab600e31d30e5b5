#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "clock/Calendar.h"

// SNTP version 4 in client mode: one request, one reply, on UDP port 123.
inline constexpr uint16_t kNtpPort = 123;
inline constexpr size_t kNtpPacketLength = 48;

// A timestamp as it travels: seconds since 1900 in the high 32 bits, the
// fraction of a second in the low 32.
using NtpTimestamp = uint64_t;

// Microseconds since 1900-01-01 00:00:00 UTC, the seconds' era unfolded as
// for a Time Protocol count.
int64_t NtpToMicroseconds(NtpTimestamp t);

// The 48-byte request. Its transmit timestamp is not the time but a number
// the caller picks at random: a reply must echo it as its originate
// timestamp, which a forger who did not see the request cannot do.
std::string SntpRequest(NtpTimestamp transmit);
// From the system's cryptographic generator.
NtpTimestamp RandomNtpTimestamp();

struct SntpReply {
    enum class Outcome { Valid, ErrorInData, KissOfDeath };
    Outcome outcome = Outcome::ErrorInData;
    std::string kissCode;  // "RATE", "DENY" or "RSTR" for a kiss-o'-death
    NtpTimestamp receive = 0, transmit = 0;
};

// A server reply passes when it is at least 48 bytes, version 3 or 4, in
// server mode, echoes sent, and comes from a synchronised server (leap
// indicator not 3, stratum 1 to 15, a root distance of at most 16 s) with
// receive and transmit timestamps, the transmit not before the receive. A
// reply that passes the first four but has stratum 0 and one of the three
// stop codes is a kiss-o'-death.
SntpReply CheckSntpReply(std::string_view datagram, NtpTimestamp sent);

struct ClockOffset {
    int64_t offsetUs = 0;  // what to add to this clock
    int64_t delayUs = 0;   // the round trip, less the server's own time
};

// From the client's send and receive times (t1, t4) and the server's
// receive and transmit times (t2, t3), all in microseconds since 1900.
ClockOffset OffsetAndDelay(int64_t t1, int64_t t2, int64_t t3, int64_t t4);
