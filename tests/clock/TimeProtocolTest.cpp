#include <gtest/gtest.h>

#include "clock/TimeProtocol.h"

namespace {

using namespace std::string_literals;

SystemTime At(uint16_t y, uint16_t mo, uint16_t d, uint16_t h, uint16_t mi, uint16_t s) {
    return SystemTime{y, mo, 0, d, h, mi, s, 0};
}

TEST(TimeProtocol, DecodesBigEndianSecondsSince1900) {
    const std::pair<std::string, std::optional<SystemTime>> cases[] = {
        {"\xE2\xE1\xF3\xC7", At(2020, 8, 15, 5, 40, 23)},  {"\xE9\x8A\xF0\x40", At(2024, 2, 29, 12, 0, 0)},
        {"\x80\x00\x00\x00"s, At(1968, 1, 20, 3, 14, 8)},  // first of the era before the wrap
        {"\xFF\xFF\xFF\xFF", At(2036, 2, 7, 6, 28, 15)},   // its last
        {"\x00\x00\x00\x00"s, At(2036, 2, 7, 6, 28, 16)},  // wrapped
        {"\x7F\xFF\xFF\xFF", At(2104, 2, 26, 9, 42, 23)},  // last of the era after it
    };
    for (const auto& [reply, expected] : cases) EXPECT_EQ(DecodeReply(reply), expected);
}

TEST(ReplyData, FourBytesAreTheCountWhateverTheyAreWithOnlyBlanksAround) {
    using O = ReplyBuffer::Outcome;
    const std::tuple<std::vector<std::string>, O, std::string> cases[] = {
        {{}, O::NoResponse, ""},   {{"    "}, O::NoResponse, ""},  {{"  ab", "cd   "}, O::Complete, "abcd"},
        {{" a ", " ", "d"}, O::Complete, "a  d"}, {{"abc "}, O::Complete, "abc "}, {{"  abc"}, O::ErrorInData, ""},
        {{"abcde"}, O::ErrorInData, ""}, {{"abcd", " ", "e"}, O::ErrorInData, ""},
    };
    for (const auto& [pieces, outcome, four] : cases) {
        ReplyBuffer r;
        for (const auto& p : pieces) r.Append(p);
        EXPECT_EQ(r.Check(), outcome) << testing::PrintToString(pieces);
        EXPECT_TRUE(outcome != O::Complete || r.Count() == four) << r.Count();
    }
}

}  // namespace
