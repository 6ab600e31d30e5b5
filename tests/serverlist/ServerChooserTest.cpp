#include <gtest/gtest.h>

#include "fakes/FakeControls.h"
#include "serverlist/ServerChooser.h"

namespace {

TEST(ServerChooser, DisplayTextShowsTheAddressOnlyWhenThereIsOne) {
    struct Case {
        ServerEntry entry;
        std::string text;
    };
    const Case cases[] = {
        {{"clock1", "192.0.2.7", "First clock"}, "clock1 (192.0.2.7)  - First clock"},
        {{"clock2", "", "Second clock"}, "clock2 - Second clock"},
        {{"clock3", "", ""}, "clock3 - "},
        {{"", "", ""}, " - "},
        {{"", "192.0.2.9", "Spare"}, " (192.0.2.9)  - Spare"},
        {{"a ", " b ", " c"}, "a  ( b )  -  c"},
    };
    for (const Case& c : cases) EXPECT_EQ(ServerDisplayText(c.entry), c.text);
}

TEST(ServerChooser, FillShowsEntryIAsItemIAndSelectsNothing) {
    FakeList cmbServer;
    cmbServer.items = {"stale one", "stale two", "stale three"};
    cmbServer.index = 2;
    FillServerChooser({{"b", "", "x"}, {"", "", ""}}, cmbServer);
    EXPECT_EQ(cmbServer.items, (std::vector<std::string>{"b - x", " - "}));
    EXPECT_EQ(cmbServer.index, -1);

    FillServerChooser({}, cmbServer);
    EXPECT_TRUE(cmbServer.items.empty());
}

TEST(ServerChooser, TableLongerThanTheIndexRangeOffersItsFirst32767Entries) {
    ServerTable table(40000);
    table[32766].Host = "last shown";
    table[32767].Host = "first hidden";
    FakeList cmbServer;
    FillServerChooser(table, cmbServer);
    ASSERT_EQ(cmbServer.items.size(), 32767u);
    EXPECT_EQ(cmbServer.items.back(), "last shown - ");
    EXPECT_TRUE(cmbServer.SetListIndex(32766));
}

}  // namespace
