#pragma once

// Who answers where during the Windows tests. scripts/test.sh starts xinetd
// on the first address; tests/fixtures/LoopbackServers serves the rest.
namespace loopback {
inline constexpr const char* kTimeService = "127.0.0.2";  // xinetd's built-in time service
inline constexpr const char* kSilent = "127.0.0.3";       // accepts, never sends, holds 30 s
inline constexpr const char* kHold = "127.0.0.4";         // sends the four bytes, holds 30 s
inline constexpr const char* kDrip = "127.0.0.5";         // the four bytes one at a time, then closes
inline constexpr const char* kFlood = "127.0.0.6";        // sends 64 MiB, then closes
inline constexpr const char* kFive = "127.0.0.7";         // five bytes, then closes
inline constexpr const char* kSpaced = "127.0.0.8";       // " " + the four bytes + "  ", then closes
inline constexpr const char* kNobody = "127.0.0.9";       // nothing listens: refused
inline constexpr const char* kIpv6Time = "::1";           // the right time over IPv6
}  // namespace loopback
