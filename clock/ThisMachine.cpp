#include "clock/ThisMachine.h"

#include <algorithm>

namespace {

constexpr size_t kGroups = 8;  // 16-bit groups of an IPv6 address

std::optional<std::array<uint8_t, 4>> ParseIpv4(std::string_view text) {
    std::array<uint8_t, 4> out{};
    for (size_t part = 0; part < out.size(); ++part) {
        const size_t dot = text.find('.');
        const std::string_view field = text.substr(0, dot);
        // A leading zero reads as octal to some parsers and decimal to others:
        // a text two programs would take for two addresses is no address.
        if (field.empty() || field.size() > 3 || (field[0] == '0' && field.size() > 1) ||
            !std::all_of(field.begin(), field.end(), [](char c) { return c >= '0' && c <= '9'; }))
            return std::nullopt;
        int value = 0;
        for (char c : field) value = value * 10 + (c - '0');
        if (value > 255) return std::nullopt;
        out[part] = static_cast<uint8_t>(value);
        if ((dot == std::string_view::npos) != (part + 1 == out.size())) return std::nullopt;
        if (dot != std::string_view::npos) text.remove_prefix(dot + 1);
    }
    return out;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The groups of one side of "::" onto groups; the last field may be a
// dotted IPv4 address when this side ends the address.
bool ParseGroups(std::string_view side, bool endsAddress, std::vector<uint16_t>& groups) {
    if (side.empty()) return true;
    for (;;) {
        const size_t colon = side.find(':');
        const std::string_view field = side.substr(0, colon);
        if (colon == std::string_view::npos && endsAddress && field.find('.') != std::string_view::npos) {
            const auto v4 = ParseIpv4(field);
            if (!v4) return false;
            groups.push_back(static_cast<uint16_t>((*v4)[0] << 8 | (*v4)[1]));
            groups.push_back(static_cast<uint16_t>((*v4)[2] << 8 | (*v4)[3]));
            return true;
        }
        if (field.empty() || field.size() > 4 || groups.size() >= kGroups) return false;
        uint16_t value = 0;
        for (char c : field) {
            const int digit = HexDigit(c);
            if (digit < 0) return false;
            value = static_cast<uint16_t>(value << 4 | digit);
        }
        groups.push_back(value);
        if (colon == std::string_view::npos) return true;
        side.remove_prefix(colon + 1);
    }
}

std::optional<IpAddress> ParseIpv6(std::string_view text) {
    const size_t gap = text.find("::");
    if (gap != std::string_view::npos && text.find("::", gap + 1) != std::string_view::npos) return std::nullopt;
    std::vector<uint16_t> head, tail;
    if (gap == std::string_view::npos) {
        if (!ParseGroups(text, true, head) || head.size() != kGroups) return std::nullopt;
    } else if (!ParseGroups(text.substr(0, gap), false, head) || !ParseGroups(text.substr(gap + 2), true, tail) ||
               head.size() + tail.size() >= kGroups) {
        return std::nullopt;  // "::" stands for at least one group
    }
    head.resize(kGroups - tail.size());
    head.insert(head.end(), tail.begin(), tail.end());
    IpAddress out{};
    for (size_t i = 0; i < kGroups; ++i) {
        out[2 * i] = static_cast<uint8_t>(head[i] >> 8);
        out[2 * i + 1] = static_cast<uint8_t>(head[i] & 0xFF);
    }
    return out;
}

bool IsIpv4Mapped(const IpAddress& a) {
    return std::all_of(a.begin(), a.begin() + 10, [](uint8_t b) { return b == 0; }) && a[10] == 0xFF &&
           a[11] == 0xFF;
}

}  // namespace

std::optional<IpAddress> ParseIpAddress(std::string_view text) {
    if (text.find(':') != std::string_view::npos) return ParseIpv6(text);
    const auto v4 = ParseIpv4(text);
    if (!v4) return std::nullopt;
    IpAddress out{};
    out[10] = out[11] = 0xFF;
    std::copy(v4->begin(), v4->end(), out.begin() + 12);
    return out;
}

bool IsThisMachine(std::string_view address, const std::vector<std::string>& ownAddresses) {
    const std::optional<IpAddress> a = ParseIpAddress(address);
    if (!a) return true;
    // 127.0.0.0/8 is all loopback, and 0.0.0.0/8 names this host on its own
    // network: connecting to 0.0.0.0 reaches the machine itself.
    if (IsIpv4Mapped(*a) && ((*a)[12] == 127 || (*a)[12] == 0)) return true;
    if (std::all_of(a->begin(), a->end() - 1, [](uint8_t b) { return b == 0; }) && a->back() <= 1)
        return true;  // :: and ::1
    return std::any_of(ownAddresses.begin(), ownAddresses.end(),
                       [&](const std::string& own) { return ParseIpAddress(own) == a; });
}
