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
inline constexpr const char* kNtpElsewhere = "127.0.0.23";  // a good reply, from 127.0.0.1
inline constexpr const char* kNtpRate = "127.0.0.24";       // kiss-o'-death RATE
inline constexpr const char* kNtpFlood = "127.0.0.28";      // 5000 datagrams of 1000 bytes
inline constexpr const char* kChronyd = "127.0.0.60";       // chronyd -x: this machine's time by NTP
// Servers that are not this machine, for rules that refuse its own addresses.
// They live in a network namespace beside the tests' own, joined to it by a
// veth pair, and are reached only from the tests' namespace, in which
// scripts/test.sh runs the Windows tests (elsewhere TEST-NET-1 leads nowhere).
inline constexpr const char* kOwnAddress = "192.0.2.1";          // the tests' end of the veth: this machine
inline constexpr const char* kRemoteChronyd = "192.0.2.2";       // chronyd -x: this machine's time by NTP
inline constexpr const char* kRemoteLateOnce = "192.0.2.3";      // as kLateOnce
// NTS (RFC 8915): key exchange over TLS on TCP kNtsKePort, then NTP on UDP 123. scripts/services.sh makes a test
// root at each start, which only the Wine prefix's LocalMachine Root store trusts, and gives each server a
// certificate from it for its own name (in the tests' hosts file) and address, unless said otherwise.
inline constexpr unsigned short kNtsKePort = 4460;
inline constexpr const char* kNts = "nts.veltrano.test";  // chronyd -x at 127.0.0.61: this machine's time by NTS
// 127.0.0.62 to .65 answer a key exchange with cookies that no server takes.
inline constexpr const char* kNtsOtherName = "nts-other-name.veltrano.test";  // certified for other.veltrano.test
inline constexpr const char* kNtsUntrusted = "nts-untrusted.veltrano.test";   // from a root that nothing trusts
inline constexpr const char* kNtsExpired = "nts-expired.veltrano.test";       // expired in 2020
inline constexpr const char* kNtsNoAlpn = "nts-no-alpn.veltrano.test";        // selects no ALPN protocol
inline constexpr const char* kNtsError = "nts-error.veltrano.test";           // .66: an Error record (internal error)
// 127.0.0.67 to .70: chronyd, whose key exchange sends clients to a proxy (at .71 to .74) that spoils its replies.
inline constexpr const char* kNtsBadMac = "nts-bad-mac.veltrano.test";       // a bit of the authenticator flipped
inline constexpr const char* kNtsNoUid = "nts-no-uid.veltrano.test";         // no unique identifier
inline constexpr const char* kNtsElsewhere = "nts-elsewhere.veltrano.test";  // from another port than 123
inline constexpr const char* kNtsNakOnce = "nts-nak-once.veltrano.test";     // NAKs the first after 8 quiet seconds
inline constexpr const char* kRemoteNts = "nts-remote.veltrano.test";  // kRemoteChronyd by NTS, as kNts
// A name whose first address is kBlackHole and whose second is kTimeService,
// given by the hosts file that scripts/test.sh lays over the Windows tests.
inline constexpr const char* kBlackHoledFirst = "blackholed-first.veltrano.test";
}  // namespace loopback
