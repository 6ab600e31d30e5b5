#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "serverlist/ServerList.h"

namespace {

using namespace std::string_literals;
using Entries = std::vector<std::vector<std::string>>;

Entries Fields(const ServerTable& t) {
    Entries out;
    for (const auto& e : t) out.push_back({e.Host, e.Address, e.Description});
    return out;
}

TEST(ServerList, EachRuleOfTheFileFormat) {
    const std::pair<std::string, Entries> cases[] = {
        {"a\r\nb\rc", {{"a", "", ""}, {"b", "", ""}, {"c", "", ""}}},
        {"a\r\n", {{"a", "", ""}}},                          // a final line end adds no line...
        {"a\r\n\r\n", {{"a", "", ""}, {"", "", ""}}},        // ...two of them add one
        {"a\r\r\nb", {{"a", "", ""}, {"", "", ""}, {"b", "", ""}}},
        {"a|1\nb|2\nc|3\nd", {{"a", "1\nb", "2\nc"}}},      // a lone LF is an ordinary character
        {"clock1|192.0.2.7|First clock\r\nclock2||Second", {{"clock1", "192.0.2.7", "First clock"}, {"clock2", "", "Second"}}},
        {"w|x|y|z\r\na|", {{"w", "x", "y"}, {"a", "", ""}}},
        {"  a | b | c  \r\n\ta|b\t", {{"a ", " b ", " c"}, {"\ta", "b\t", ""}}},  // spaces only, whole line only
        {"x\r\n    \r\ny", {{"x", "", ""}, {"", "", ""}, {"y", "", ""}}},
        // Trimmed before the NUL cut: the blank before the NUL stays, and
        // blanks after it cannot keep the bar beyond it.
        {"ab\0cd|x\r\na \0|b  \r\n  a|b\0  "s, {{"ab", "", ""}, {"a ", "", ""}, {"a", "b", ""}}},
        {"z\xFCrich|192.0.2.3|\xC9" "cole", {{"z\xFCrich", "192.0.2.3", "\xC9" "cole"}}},
    };
    for (const auto& [bytes, entries] : cases) {
        ServerTable t;
        ParseServerList(bytes, true, t);
        EXPECT_EQ(Fields(t), entries) << ::testing::PrintToString(bytes);
    }
}

TEST(ServerList, ReadThatFailedKeepsOnlyTheLinesItFinished) {
    ServerTable t{{"old", "", ""}, {"old2", "", ""}};
    ParseServerList("half a line", false, t);
    EXPECT_EQ(t.size(), 2u);
    ParseServerList("a\r\nb|par", false, t);
    EXPECT_EQ(Fields(t), (Entries{{"a", "", ""}}));
}

TEST(ServerList, ReloadKeepsTheOldEntriesOnlyWhenTheFileHasNoLine) {
    char pattern[] = "/tmp/veltrano-list-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const std::string folder = pattern + "/"s, file = folder + "ntp_servers.txt";
    auto write = [&](const std::string& bytes) { std::ofstream(file, std::ios::binary) << bytes; };
    ServerTable t;

    LoadServerList(folder, t);  // missing at start-up
    EXPECT_TRUE(t.empty());
    write("one|192.0.2.1|x\r\ntwo\r\nthree");
    LoadServerList(folder, t);
    EXPECT_EQ(t.size(), 3u);
    write("four\r\n");  // shrank
    LoadServerList(folder, t);
    EXPECT_EQ(Fields(t), (Entries{{"four", "", ""}}));
    write("");  // emptied
    LoadServerList(folder, t);
    EXPECT_EQ(Fields(t), (Entries{{"four", "", ""}}));
    std::filesystem::remove(file);  // deleted
    LoadServerList(folder, t);
    EXPECT_EQ(Fields(t), (Entries{{"four", "", ""}}));
    std::filesystem::remove_all(pattern);
}

}  // namespace
