#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// An IPv4 or IPv6 address as sixteen bytes, an IPv4 address in its
// IPv4-mapped form (::ffff:a.b.c.d), so that both spellings compare equal.
using IpAddress = std::array<uint8_t, 16>;

// Numeric text only, as Windows writes it or a list may give it: dotted
// decimal with four parts and no leading zeros, or IPv6 groups of one to
// four hex digits with at most one "::" and an optional dotted tail. No zone,
// no port, no brackets, no blanks; anything else is no address.
std::optional<IpAddress> ParseIpAddress(std::string_view text);

// True when a server at address would be this computer itself: loopback,
// the unspecified address (which reaches this computer too), or one of
// ownAddresses (this computer's interfaces, in any spelling). Also true when
// address is no numeric address at all: what cannot be told apart from this
// computer is not trusted as another one.
bool IsThisMachine(std::string_view address, const std::vector<std::string>& ownAddresses);
