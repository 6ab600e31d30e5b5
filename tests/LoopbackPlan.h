#pragma once

// Who answers where during the Windows tests. scripts/services.sh starts
// xinetd on the first address; tests/fixtures/LoopbackServers serves the rest.
namespace loopback {
inline constexpr const char* kTimeService = "127.0.0.2";  // xinetd's built-in time service
inline constexpr const char* kBlackHole = "127.0.0.3";    // drops every SYN: connecting never ends
inline constexpr const char* kFlood = "127.0.0.6";        // sends 64 MiB, then closes
inline constexpr const char* kLateOnce = "127.0.0.7";     // an hour late after 8 quiet seconds, then right
inline constexpr const char* kNobody = "127.0.0.9";       // nothing listens: refused
inline constexpr const char* kIpv6Time = "::1";           // the right time over IPv6
inline constexpr const char* kNtpShort = "127.0.0.20";      // SNTP on UDP port 123: a reply of 47 bytes
inline constexpr const char* kNtpMode = "127.0.0.21";       // client mode
inline constexpr const char* kNtpOrigin = "127.0.0.22";     // an originate timestamp one off
inline constexpr const char* kNtpElsewhere = "127.0.0.23";  // a good reply, from 127.0.0.1
inline constexpr const char* kNtpRate = "127.0.0.24";       // kiss-o'-death RATE
inline constexpr const char* kNtpLeap = "127.0.0.25";       // leap indicator 3: not synchronised
inline constexpr const char* kNtpZero = "127.0.0.26";       // a zero transmit timestamp
inline constexpr const char* kNtpSilent = "127.0.0.27";     // never answers
inline constexpr const char* kNtpFlood = "127.0.0.28";      // 5000 datagrams of 1000 bytes
inline constexpr const char* kChronyd = "127.0.0.60";       // chronyd -x: this machine's time by NTP
// Servers that are not this machine, for rules that refuse its own addresses.
// They live in a network namespace beside the tests' own, joined to it by a
// veth pair, and are reached only from the tests' namespace, in which
// scripts/test.sh runs the Windows tests (elsewhere TEST-NET-1 leads nowhere).
inline constexpr const char* kOwnAddress = "192.0.2.1";          // the tests' end of the veth: this machine
inline constexpr const char* kRemoteChronyd = "192.0.2.2";       // chronyd -x: this machine's time by NTP
inline constexpr const char* kRemoteTimeService = "192.0.2.2";   // xinetd's built-in time service, port 37
inline constexpr const char* kRemoteLateOnce = "192.0.2.3";      // as kLateOnce
// A name whose first address is kBlackHole and whose second is kTimeService,
// given by the hosts file that scripts/test.sh lays over the Windows tests.
inline constexpr const char* kBlackHoledFirst = "blackholed-first.veltrano.test";
}  // namespace loopback
