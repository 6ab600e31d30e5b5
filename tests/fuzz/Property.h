#pragma once
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

// A property that does not hold is a finding like a crash: aborting makes
// libFuzzer save the input that broke it.
#define REQUIRE(condition) \
    ((condition) ? void() : (std::fprintf(stderr, "property failed: %s (line %d)\n", #condition, __LINE__), std::abort()))

inline std::string_view Text(const uint8_t* data, size_t size) { return {reinterpret_cast<const char*>(data), size}; }

// The next four bytes as a little-endian number, zeros past the end.
inline int32_t TakeInt(const uint8_t*& data, size_t& size) {
    uint8_t b[4] = {};
    const size_t n = size < 4 ? size : 4;
    std::memcpy(b, data, n), data += n, size -= n;
    return static_cast<int32_t>(uint32_t{b[0]} | uint32_t{b[1]} << 8 | uint32_t{b[2]} << 16 | uint32_t{b[3]} << 24);
}
