#pragma once

// Who answers where during the Windows tests. scripts/test.sh starts xinetd
// on the first address; tests/fixtures/LoopbackServers serves the rest.
namespace loopback {
inline constexpr const char* kTimeService = "127.0.0.2";  // xinetd's built-in time service
inline constexpr const char* kBlackHole = "127.0.0.3";    // drops every SYN: connecting never ends
inline constexpr const char* kFlood = "127.0.0.6";        // sends 64 MiB, then closes
inline constexpr const char* kNobody = "127.0.0.9";       // nothing listens: refused
inline constexpr const char* kIpv6Time = "::1";           // the right time over IPv6
// A name whose first address is kBlackHole and whose second is kTimeService,
// given by the hosts file that scripts/test.sh lays over the Windows tests.
inline constexpr const char* kBlackHoledFirst = "blackholed-first.veltrano.test";
}  // namespace loopback
