#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/NotifyIcon.h"
#include "serverlist/ServerList.h"

namespace {

constexpr uint64_t kMove = 0x200, kLeftDown = 0x201, kLeftUp = 0x202, kLeftDouble = 0x203, kRightDown = 0x204,
                   kRightUp = 0x205, kRightDouble = 0x206, kMiddleDown = 0x207, kMiddleUp = 0x208;

TEST(TrayDecode, OnlyReleasesAndDoubleClickActWhileMinimised) {
    struct Case {
        uint64_t lParam;
        TrayAction expected;
    } cases[] = {
        {kLeftUp, TrayAction::ShowWindow},    {kLeftDouble, TrayAction::ShowWindow}, {kRightUp, TrayAction::OpenMenu},
        {kMove, TrayAction::Nothing},         {kLeftDown, TrayAction::Nothing},      {kRightDown, TrayAction::Nothing},
        {kRightDouble, TrayAction::Nothing},  {kMiddleDown, TrayAction::Nothing},    {kMiddleUp, TrayAction::Nothing},
        {0, TrayAction::Nothing},
    };
    for (const auto& c : cases) EXPECT_EQ(DecodeTrayMessage(true, c.lParam), c.expected) << std::hex << c.lParam;
}

TEST(TrayDecode, IconIdInHighWordDoesNotHideTheMessage) {
    EXPECT_EQ(DecodeTrayMessage(true, (uint64_t{1} << 16) | kLeftUp), TrayAction::ShowWindow);
    EXPECT_EQ(DecodeTrayMessage(true, (uint64_t{1} << 16) | kRightUp), TrayAction::OpenMenu);
}

TEST(TrayDecode, ShownWindowIgnoresIconAndItsOwnMouseMoves) {
    for (uint64_t m : {kLeftUp, kLeftDouble, kRightUp}) EXPECT_EQ(DecodeTrayMessage(false, m), TrayAction::Nothing);
    // A real move over the shown window at x = 514, y = 40 looks like a left
    // release in its low word.
    EXPECT_EQ(DecodeTrayMessage(false, (uint64_t{40} << 16) | 514), TrayAction::Nothing);
    EXPECT_EQ(DecodeTrayMessage(false, (uint64_t{3} << 16) | 517), TrayAction::Nothing);
}

TEST(TrayDecode, DoubleClickShowsTheWindowOnce) {
    // What the shell sends for a double click on the icon.
    bool minimised = true;
    int shown = 0;
    for (uint64_t m : {kMove, kLeftDown, kLeftUp, kLeftDouble, kLeftUp}) {
        if (DecodeTrayMessage(minimised, m) == TrayAction::ShowWindow) {
            ++shown;
            minimised = false;
        }
    }
    EXPECT_EQ(shown, 1);
}

TEST(TrayTip, TextThenOneNulThenBlanks) {
    const auto field = TrayTipField("Korvane Veltrano");
    EXPECT_EQ(std::string(field.data(), 16), "Korvane Veltrano");
    EXPECT_EQ(field[16], '\0');
    EXPECT_EQ(std::string(field.data() + 17, 47), std::string(47, ' '));
}

TEST(TrayTip, OverlongOrCutTextsStillEndInNul) {
    struct Case {
        std::string tip;
        size_t nulAt;
    } cases[] = {
        {"", 0},
        {std::string(63, 'a'), 63},
        {std::string(64, 'b'), 63},
        {std::string(200, 'c'), 63},
        {std::string("ab\0cd", 5), 2},
    };
    for (const auto& c : cases) {
        const auto field = TrayTipField(c.tip);
        ASSERT_EQ(field[c.nulAt], '\0') << c.tip.size();
        EXPECT_EQ(std::string(field.data(), c.nulAt), c.tip.substr(0, c.nulAt));
        for (size_t i = c.nulAt + 1; i < field.size(); ++i) EXPECT_EQ(field[i], ' ') << i;
    }
}

TEST(OutsideTools, EditorCommandLineKeepsBlanksUnquoted) {
    EXPECT_EQ(EditServerListCommandLine("C:\\Program Files\\Tool\\"),
              "notepad.exe C:\\Program Files\\Tool\\ntp_servers.txt");
    EXPECT_EQ(EditServerListCommandLine("D:\\"), "notepad.exe D:\\ntp_servers.txt");
}

}  // namespace
