#include <gtest/gtest.h>

#include "clock/TimeProtocol.h"

namespace {

std::string Bytes(std::initializer_list<unsigned> b) {
    std::string s;
    for (unsigned v : b) s.push_back(static_cast<char>(v));
    return s;
}

SystemTime At(uint16_t y, uint16_t mo, uint16_t d, uint16_t h, uint16_t mi, uint16_t s) {
    return SystemTime{y, mo, 0, d, h, mi, s, 0};
}

struct DecodeCase {
    std::string reply;
    std::optional<SystemTime> expected;
};

TEST(TimeProtocol, DecodesBigEndianSecondsSince1900) {
    const DecodeCase cases[] = {
        {Bytes({0xE2, 0xE1, 0xF3, 0xC7}), At(2020, 8, 15, 5, 40, 23)},
        {Bytes({0xA9, 0x49, 0x1C, 0x00}), At(1990, 1, 1, 0, 0, 0)},
        {Bytes({0x80, 0x00, 0x00, 0x00}), At(1968, 1, 20, 3, 14, 8)},    // first of the era before the wrap
        {Bytes({0xFF, 0xFF, 0xFF, 0xFF}), At(2036, 2, 7, 6, 28, 15)},    // its last
        {Bytes({0x00, 0x00, 0x00, 0x00}), At(2036, 2, 7, 6, 28, 16)},    // wrapped
        {Bytes({0x7F, 0xFF, 0xFF, 0xFF}), At(2104, 2, 26, 9, 42, 23)},   // last of the era after it
        {Bytes({0xE9, 0x8A, 0xF0, 0x40}), At(2024, 2, 29, 12, 0, 0)},
        {Bytes({0xBD, 0xFA, 0x46, 0xFF}), At(2000, 12, 31, 23, 59, 59)},
        {Bytes({0xE2, 0xE1, 0xF3}), std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(DecodeReply(c.reply), c.expected);
}

TEST(TimeProtocol, OffsetMovesTheWholeInstant) {
    struct Case {
        SystemTime before;
        int32_t offset;
        SystemTime after;
    } cases[] = {
        {At(2020, 8, 15, 0, 10, 0), 30, At(2020, 8, 14, 23, 40, 0)},
        {At(2020, 8, 15, 23, 50, 0), -30, At(2020, 8, 16, 0, 20, 0)},
        {At(2020, 8, 15, 5, 40, 23), 0, At(2020, 8, 15, 5, 40, 23)},
        {At(2020, 8, 15, 5, 40, 23), 60, At(2020, 8, 15, 4, 40, 23)},
        {At(2021, 1, 1, 0, 29, 59), 30, At(2020, 12, 31, 23, 59, 59)},
        {At(2024, 2, 28, 23, 30, 0), -60, At(2024, 2, 29, 0, 30, 0)},
        {At(2023, 2, 28, 23, 30, 0), -60, At(2023, 3, 1, 0, 30, 0)},
    };
    for (auto& c : cases) {
        SystemTime t = c.before;
        ApplyOffset(t, c.offset);
        EXPECT_EQ(t, c.after) << c.offset;
    }
}

TEST(TimeProtocol, SecondsBetweenComparesWholeInstants) {
    EXPECT_EQ(SecondsBetween(At(2020, 8, 16, 0, 0, 1), At(2020, 8, 15, 23, 59, 59)), 2);
    EXPECT_EQ(SecondsBetween(At(2020, 8, 15, 5, 0, 0), At(2020, 8, 15, 15, 0, 0)), -36000);
    EXPECT_EQ(SecondsBetween(At(2104, 2, 26, 9, 42, 23), At(1968, 1, 20, 3, 14, 8)), 4294967295);
}

struct ReplyCase {
    std::vector<std::string> pieces;
    ReplyBuffer::Outcome outcome;
    std::string four;
};

TEST(ReplyData, FourBytesAreTheCountWhateverTheyAreAndOnlyBlanksSurroundIt) {
    using O = ReplyBuffer::Outcome;
    const ReplyCase cases[] = {
        {{}, O::NoResponse, ""},
        {{"    "}, O::NoResponse, ""},
        {{"abcd"}, O::Complete, "abcd"},
        {{"  ab", "cd   "}, O::Complete, "abcd"},
        {{"a", "bcd"}, O::Complete, "abcd"},
        {{"a  d"}, O::Complete, "a  d"},
        {{"a ", " ", "d"}, O::Complete, "a  d"},
        {{"abc "}, O::Complete, "abc "},
        {{" abc"}, O::Complete, " abc"},
        {{" ", "ab  ", "  "}, O::Complete, "ab  "},
        {{"  abc"}, O::ErrorInData, ""},
        {{"abc"}, O::ErrorInData, ""},
        {{"abcde"}, O::ErrorInData, ""},
        {{"abcd\r\n"}, O::ErrorInData, ""},
        {{"ab", "     ", "c"}, O::ErrorInData, ""},
        {{"abcd", " ", "e"}, O::ErrorInData, ""},
        {{std::string("\0\0\0\0", 4)}, O::Complete, std::string("\0\0\0\0", 4)},
    };
    for (const auto& c : cases) {
        ReplyBuffer r;
        for (const auto& p : c.pieces) r.Append(p);
        EXPECT_EQ(r.Check(), c.outcome) << testing::PrintToString(c.pieces);
        if (c.outcome == O::Complete) {
            EXPECT_EQ(r.Count(), c.four);
        }
    }
}

TEST(ReplyData, FloodKeepsOnlyAFewBytes) {
    ReplyBuffer r;
    const std::string chunk(64 * 1024, 'x');
    for (int i = 0; i < 200; ++i) r.Append(chunk);
    EXPECT_EQ(r.Check(), ReplyBuffer::Outcome::ErrorInData);

    // A flood of spaces around a real reply still decodes.
    ReplyBuffer spaces;
    spaces.Append(std::string(1 << 20, ' '));
    spaces.Append("wxyz");
    spaces.Append(std::string(1 << 20, ' '));
    EXPECT_EQ(spaces.Check(), ReplyBuffer::Outcome::Complete);
    EXPECT_EQ(spaces.Count(), "wxyz");

    r.Clear();
    EXPECT_EQ(r.Check(), ReplyBuffer::Outcome::NoResponse);
}

}  // namespace
