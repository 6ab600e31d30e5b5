#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "serverlist/ServerList.h"

namespace {

using Entries = std::vector<std::vector<std::string>>;

Entries Fields(const ServerTable& t) {
    Entries out;
    for (const auto& e : t) out.push_back({e.Host, e.Address, e.Description});
    return out;
}

Entries Parse(std::string_view bytes) {
    ServerTable t;
    ParseServerList(bytes, true, t);
    return Fields(t);
}

// A program folder of its own per test, with a trailing separator as
// AppFolder always has.
class ServerListFile : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/veltrano-list-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
        folder_ = dir_.string() + "/";
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }
    void WriteList(std::string_view bytes) {
        std::ofstream(folder_ + "ntp_servers.txt", std::ios::binary).write(bytes.data(), bytes.size());
    }
    void Load() { LoadServerList(folder_, table_); }

    std::filesystem::path dir_;
    std::string folder_;
    ServerTable table_;
};

TEST(ServerList, LineEndsAreCrLfOrLoneCr) {
    struct Case {
        std::string bytes;
        std::vector<std::string> hosts;
    };
    const Case cases[] = {
        {"a\r\nb\rc", {"a", "b", "c"}},
        {"a\r\n", {"a"}},                 // a final line end adds no line
        {"a\r\n\r\n", {"a", ""}},         // two of them add one
        {"a\r", {"a"}},
        {"a\r\r\nb", {"a", "", "b"}},     // CR, then CR LF: an empty line between
        {"\r\n", {""}},
        {"a\n\r\nb", {"a\n", "b"}},       // the LF before CR LF is the line's own
        {"\na\r\n", {"\na"}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> hosts;
        for (const auto& f : Parse(c.bytes)) hosts.push_back(f[0]);
        EXPECT_EQ(hosts, c.hosts) << "bytes: " << ::testing::PrintToString(c.bytes);
    }
}

TEST(ServerList, LoneLineFeedIsNotALineEnd) {
    EXPECT_EQ(Parse("a|1\nb|2\nc|3\nd"), (Entries{{"a", "1\nb", "2\nc"}}));
}

TEST(ServerList, FieldsSplitAtBarsAndExtraFieldsAreDropped) {
    EXPECT_EQ(Parse("clock1|192.0.2.7|First clock\r\nclock2||Second clock\r\nclock3\r\nw|x|y|z\r\n|192.0.2.9|Spare\r\na|"),
              (Entries{{"clock1", "192.0.2.7", "First clock"},
                       {"clock2", "", "Second clock"},
                       {"clock3", "", ""},
                       {"w", "x", "y"},
                       {"", "192.0.2.9", "Spare"},
                       {"a", "", ""}}));
}

TEST(ServerList, OnlySpacesAtTheEndsOfTheWholeLineAreTrimmed) {
    EXPECT_EQ(Parse("  a | b | c  "), (Entries{{"a ", " b ", " c"}}));
    EXPECT_EQ(Parse("\ta|b\t"), (Entries{{"\ta", "b\t", ""}}));
    // A line of blanks is an empty entry at its own position.
    EXPECT_EQ(Parse("x\r\n    \r\ny"), (Entries{{"x", "", ""}, {"", "", ""}, {"y", "", ""}}));
}

TEST(ServerList, NulCutsTheLineAfterTrimming) {
    using namespace std::string_literals;
    EXPECT_EQ(Parse("ab\0cd|x|y\r\nnext"s), (Entries{{"ab", "", ""}, {"next", "", ""}}));
    // Trimming comes first, so the blank before the NUL survives and the
    // blanks after it cannot shield a bar from the cut.
    EXPECT_EQ(Parse("a \0|b  "s), (Entries{{"a ", "", ""}}));
    EXPECT_EQ(Parse("  a|b\0  "s), (Entries{{"a", "b", ""}}));
    EXPECT_EQ(StripNull("plain"), "plain");
    EXPECT_EQ(StripNull("\0x"s), "");
}

TEST(ServerList, BytesWithoutALineLeaveTheTable) {
    ServerTable t{{"old", "", ""}};
    ParseServerList("", true, t);
    EXPECT_EQ(Fields(t), (Entries{{"old", "", ""}}));
}

TEST(ServerList, ReadThatFailedKeepsOnlyTheLinesItFinished) {
    ServerTable t{{"old", "", ""}, {"old2", "", ""}};
    ParseServerList("a\r\nb|par", false, t);
    EXPECT_EQ(Fields(t), (Entries{{"a", "", ""}}));
    ParseServerList("half a line", false, t);
    EXPECT_EQ(Fields(t), (Entries{{"a", "", ""}}));
}

TEST_F(ServerListFile, MissingFileAtStartGivesNoEntries) {
    Load();
    EXPECT_TRUE(table_.empty());
}

TEST_F(ServerListFile, ReloadReplacesEveryEntry) {
    WriteList("one\r\ntwo\r\nthree\r\n");
    Load();
    ASSERT_EQ(table_.size(), 3u);
    WriteList("four\r\n");
    Load();
    EXPECT_EQ(Fields(table_), (Entries{{"four", "", ""}}));
}

TEST_F(ServerListFile, ReloadAfterTheFileWasEmptiedOrDeletedKeepsTheOldEntries) {
    WriteList("one|192.0.2.1|x\r\ntwo");
    Load();
    const Entries loaded = Fields(table_);
    ASSERT_EQ(loaded.size(), 2u);

    WriteList("");
    Load();
    EXPECT_EQ(Fields(table_), loaded);

    std::filesystem::remove(folder_ + "ntp_servers.txt");
    Load();
    EXPECT_EQ(Fields(table_), loaded);
}

TEST_F(ServerListFile, AnsiBytesAreKeptAsTheyStand) {
    WriteList("z\xFCrich|192.0.2.3|\xC9" "cole\r\n");
    Load();
    EXPECT_EQ(Fields(table_), (Entries{{"z\xFCrich", "192.0.2.3", "\xC9" "cole"}}));
}

}  // namespace
