#include <gtest/gtest.h>

#include "settings/Conversions.h"

namespace {

TEST(ToInteger, ConvertsWithHalvesRoundedToEvenElseGivesZero) {
    const std::pair<const char*, int32_t> cases[] = {
        {"+7", 7}, {"\t3\t", 3}, {"1.5", 2}, {"2.5", 2}, {"-2.5", -2}, {"32767", 32767}, {"-32768", -32768},
        // The last decided on the written digits, not on a binary neighbour.
        {"2.50000000000000000001", 3},
        // What does not convert or fit.
        {"", 0}, {"12abc", 0}, {"32768", 0}, {"32767.5", 0},
    };
    for (const auto& [text, value] : cases) EXPECT_EQ(ToInteger(text), value) << '"' << text << '"';
}

}  // namespace
