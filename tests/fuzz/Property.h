#pragma once
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

// A property that does not hold is a finding like a crash: aborting makes
// libFuzzer save the input that broke it.
#define REQUIRE(condition) \
    ((condition) ? void() : (std::fprintf(stderr, "property failed: %s (line %d)\n", #condition, __LINE__), std::abort()))

inline std::string_view Text(const uint8_t* data, size_t size) { return {reinterpret_cast<const char*>(data), size}; }
