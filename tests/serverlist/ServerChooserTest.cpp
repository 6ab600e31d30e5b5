#include <gtest/gtest.h>

#include "fakes/FakeControls.h"
#include "serverlist/ServerChooser.h"

namespace {

TEST(ServerChooser, ItemIShowsEntryIAndNothingIsSelected) {
    FakeList cmbServer;
    cmbServer.items = {"stale", "stale", "stale"};
    cmbServer.index = 2;
    FillServerChooser({{"clock1", "192.0.2.7", "First clock"},
                       {"clock2", "", "Second clock"},
                       {"clock3", "", ""},
                       {"", "", ""},
                       {"", "192.0.2.9", "Spare"},
                       {"a ", " b ", " c"}},
                      cmbServer);
    EXPECT_EQ(cmbServer.items, (std::vector<std::string>{"clock1 (192.0.2.7)  - First clock", "clock2 - Second clock",
                                                         "clock3 - ", " - ", " (192.0.2.9)  - Spare",
                                                         "a  ( b )  -  c"}));
    EXPECT_EQ(cmbServer.index, -1);
}

TEST(ServerChooser, TableLongerThanTheIndexRangeOffersItsFirst32767Entries) {
    ServerTable table(40000);
    table[32766].Host = "last shown";
    FakeList cmbServer;
    FillServerChooser(table, cmbServer);
    ASSERT_EQ(cmbServer.items.size(), 32767u);
    EXPECT_EQ(cmbServer.items.back(), "last shown - ");
}

}  // namespace
