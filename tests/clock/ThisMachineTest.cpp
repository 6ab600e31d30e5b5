#include <gtest/gtest.h>

#include "clock/ThisMachine.h"

namespace {

TEST(ThisMachine, ThisComputerInAnySpellingUnreadableTextIncluded) {
    const std::vector<std::string> own{"192.0.2.7", "2001:DB8:0:0::7", "garbage", ""};
    const std::pair<const char*, bool> cases[] = {
        {"127.0.0.1", true}, {"127.255.255.254", true}, {"0.0.0.0", true}, {"::1", true}, {"::", true},
        {"0:0:0:0:0:0:0:1", true}, {"::ffff:127.0.0.1", true}, {"::FFFF:7f00:2", true}, {"::ffff:0.0.0.0", true},
        {"192.0.2.7", true}, {"::ffff:192.0.2.7", true}, {"::ffff:c000:207", true}, {"2001:db8::0:7", true},
        // Other computers, in forms a parser might get wrong.
        {"192.0.2.1", false}, {"128.0.0.1", false}, {"126.255.255.255", false}, {"::2", false},
        {"2001:db8::1", false}, {"::ffff:192.0.2.1", false}, {"1:2:3:4:5:6:7::", false}, {"::1:2:3:4:5:6:7", false},
        {"1:2:3:4:5:6:192.0.2.7", false}, {"64:ff9b::127.0.0.1", false}, {"fe80::1:0", false},
        // No address: refused rather than read as another computer's.
        {"", true}, {"localhost", true}, {"192.0.2.01", true}, {"127.1", true}, {"1.2.3.4.5", true},
        {"300.0.2.1", true}, {"1.2.3.", true}, {"1:2:3:4:5:6:7:8:9", true}, {"1:2:3:4:5:6:7:8::", true},
        {"1::2::3", true}, {":::", true}, {":1::", true}, {"1::2:", true}, {"::2 ", true}, {"12345::", true},
        {"g::2", true}, {"1.2.3.4::", true}, {"::ffff:1.2.3", true}, {"1:2:3:4:5:6:7:1.2.3.4", true},
        {"[::2]", true}, {"fe80::1%2", true}};
    for (const auto& [address, expected] : cases) EXPECT_EQ(IsThisMachine(address, own), expected) << address;
}

}  // namespace
