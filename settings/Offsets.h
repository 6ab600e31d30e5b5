#pragma once
#include <array>
#include <cstdint>

// The offset chooser's fixed items; the index in this table is the item's.
// The time service runs no other offset, so it reads them here too.
struct OffsetItem {
    const char* text;
    int32_t minutes;
};
inline constexpr std::array<OffsetItem, 5> kOffsetItems{{
    {"-60 mins", -60},
    {"-30 mins", -30},
    {"0 (default)", 0},
    {"+30 mins", 30},
    {"+60 mins", 60},
}};
inline constexpr int16_t kDefaultOffsetIndex = 2;
