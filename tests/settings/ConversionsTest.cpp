#include <gtest/gtest.h>

#include "settings/Conversions.h"

namespace {

using Cases = std::vector<std::pair<const char*, int32_t>>;

TEST(ToInteger, RoundsHalvesToEvenAndGivesZeroForWhatDoesNotConvertOrFit) {
    const Cases cases = {
        {"007", 7},    {"+7", 7},       {"  12  ", 12}, {"\t3\t", 3},    {" -4", -4},     {"5.", 5},
        {".5", 0},     {"1.5", 2},      {"2.5", 2},     {"3.5", 4},      {"-2.5", -2},    {"-3.5", -4},
        {"2.49999", 2}, {"2.50000000000000000001", 3},  // decided on the written digits, not on a binary neighbour
        {"", 0},       {"abc", 0},      {"12abc", 0},   {"1 2", 0},      {".", 0},        {"- 1", 0},
        {"1e3", 0},    {"32767", 32767}, {"32768", 0},  {"-32768", -32768}, {"-32769", 0}, {"32767.4", 32767},
        {"32767.5", 0}, {"-32768.5", -32768}, {"99999999999999999999999999", 0},
    };
    for (const auto& [text, value] : cases) EXPECT_EQ(ToInteger(text), value) << '"' << text << '"';
}

TEST(ToLong, CoversTheSigned32BitRange) {
    const Cases cases = {
        {"-40000", -40000}, {"2147483647", 2147483647}, {"2147483648", 0}, {"-2147483648", -2147483647 - 1},
        {"-2147483649", 0}, {"2147483646.5", 2147483646}, {"2147483647.5", 0}, {" 15 ", 15}, {"fifteen", 0},
    };
    for (const auto& [text, value] : cases) EXPECT_EQ(ToLong(text), value) << '"' << text << '"';
}

}  // namespace
