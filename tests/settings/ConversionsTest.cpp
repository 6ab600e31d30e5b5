#include <gtest/gtest.h>

#include "settings/Conversions.h"

namespace {

void ExpectConverted(std::initializer_list<std::pair<const char*, int32_t>> cases) {
    for (const auto& [text, value] : cases) EXPECT_EQ(ToInteger(text), value) << '"' << text << '"';
}

TEST(ToInteger, ConvertsWithHalvesRoundedToEven) {
    // The last decided on the written digits, not on a binary neighbour.
    ExpectConverted({{"+7", 7}, {"\t3\t", 3}, {"1.5", 2}, {"2.5", 2}, {"-2.5", -2}, {"32767", 32767},
                     {"-32768", -32768}, {"2.50000000000000000001", 3}});
}

TEST(ToInteger, GivesZeroForWhatDoesNotConvertOrFit) {
    ExpectConverted({{"", 0}, {"12abc", 0}, {"32768", 0}, {"32767.5", 0}});
}

}  // namespace
