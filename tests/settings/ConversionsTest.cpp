#include <gtest/gtest.h>

#include "settings/Conversions.h"

namespace {

using Cases = std::vector<std::pair<const char*, int32_t>>;

TEST(ToInteger, RoundsHalvesToEvenAndGivesZeroForWhatDoesNotConvertOrFit) {
    const Cases cases = {
        {"+7", 7}, {"\t3\t", 3}, {"1.5", 2}, {"2.5", 2}, {"-2.5", -2}, {"", 0}, {"12abc", 0}, {"32767", 32767},
        {"32768", 0}, {"-32768", -32768}, {"32767.5", 0},
        {"2.50000000000000000001", 3},  // decided on the written digits, not on a binary neighbour
    };
    for (const auto& [text, value] : cases) EXPECT_EQ(ToInteger(text), value) << '"' << text << '"';
}

}  // namespace
