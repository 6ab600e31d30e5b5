#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "fakes/FakeControls.h"
#include "serverlist/ServerChooser.h"
#include "serverlist/ServerList.h"

namespace {

using namespace std::string_literals;
using Entries = std::vector<std::vector<std::string>>;

Entries Fields(const ServerTable& t) {
    Entries out;
    for (const auto& e : t) out.push_back({e.Host, e.Address, e.Description});
    for (size_t i = 0; i < t.size(); ++i)
        if (const ServerProtocol p = t.Protocol(i); p != ServerProtocol::Time)
            out[i].push_back(p == ServerProtocol::Ntp ? "ntp" : "nts");
    return out;
}

TEST(ServerList, EachRuleOfTheFileFormat) {
    const std::pair<std::string, Entries> cases[] = {
        {"a\r\n", {{"a", "", ""}}},                          // a final line end adds no line...
        {"a\r\r\nb\r\n\r\n", {{"a", "", ""}, {"", "", ""}, {"b", "", ""}, {"", "", ""}}},  // ...two of them add one
        {"a|1\nb|2\nc|3\nd", {{"a", "1\nb", "2\nc"}}},      // a lone LF is an ordinary character
        {"w|x|y|z\r\na|", {{"w", "x", "y"}, {"a", "", ""}}},
        {"a|b|c|nTp\r\nd|||NTP|x\r\ne|||ntpx\r\nf|||NtS", {{"a", "b", "c", "ntp"}, {"d", "", "", "ntp"}, {"e", "", ""},
                                                         {"f", "", "", "nts"}}},
        // Blanks are spaces only, trimmed from the whole line only; a line of them is an empty entry.
        {"  a | b | c  \r\n\ta|b\t\r\n    ", {{"a ", " b ", " c"}, {"\ta", "b\t", ""}, {"", "", ""}}},
        // Trimmed before the NUL cut: the blank before the NUL stays, and
        // blanks after it cannot keep the bar beyond it.
        {"ab\0cd|x\r\na \0|b  \r\n  a|b\0  "s, {{"ab", "", ""}, {"a ", "", ""}, {"a", "b", ""}}},
    };
    for (const auto& [bytes, entries] : cases) {
        ServerTable t;
        ParseServerList(bytes, true, t);
        EXPECT_EQ(Fields(t), entries) << ::testing::PrintToString(bytes);
    }
}

TEST(ServerList, ReadThatFailedKeepsOnlyTheLinesItFinished) {
    ServerTable t{{"old", "", ""}};
    ParseServerList("half a line", false, t);
    EXPECT_EQ(Fields(t), (Entries{{"old", "", ""}}));
    ParseServerList("a\r\nb|par", false, t);
    EXPECT_EQ(Fields(t), (Entries{{"a", "", ""}}));
}

TEST(ServerList, LineEndSplitBetweenReadsEndsOneLine) {
    // 60000 lines of 5 bytes: 256 KiB, and every power of two below it,
    // falls between a CR and its LF.
    char pattern[] = "/tmp/veltrano-list-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    std::string bytes;
    for (int i = 0; i < 60000; ++i) bytes += "abc\r\n";
    std::ofstream(pattern + "/ntp_servers.txt"s, std::ios::binary) << bytes;
    ServerTable t;
    LoadServerList(pattern + "/"s, t);
    EXPECT_EQ(t.size(), 60000u);
    EXPECT_TRUE(std::all_of(t.begin(), t.end(), [](const ServerEntry& e) { return e.Host == "abc"; }));
    std::filesystem::remove_all(pattern);
}

TEST(ServerChooser, ItemIShowsEntryIUpToTheIndexRangeNoneSelected) {
    FakeList cmbServer;
    cmbServer.items = {"stale"};
    cmbServer.index = 0;
    FillServerChooser({{"clock1", "192.0.2.7", "First clock"}, {"clock2", "", "Second"}}, cmbServer);
    EXPECT_EQ(cmbServer.items, (std::vector<std::string>{"clock1 (192.0.2.7)  - First clock", "clock2 - Second"}));
    EXPECT_EQ(cmbServer.index, -1);

    ServerTable table(40000);  // longer than the index range: the first 32767 entries
    table[32766].Host = "last shown";
    FillServerChooser(table, cmbServer);
    ASSERT_EQ(cmbServer.items.size(), 32767u);
    EXPECT_EQ(cmbServer.items.back(), "last shown - ");
}

}  // namespace
