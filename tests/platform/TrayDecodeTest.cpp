#include <gtest/gtest.h>

#include <string>

#include "platform/NotifyIcon.h"
#include "serverlist/ServerList.h"

namespace {

TEST(TrayDecode, OnlyReleasesAndDoubleClickActWhileMinimised) {
    constexpr uint64_t kIconIdInHighWord = uint64_t{1} << 16;
    struct Case {
        bool minimised;
        uint64_t lParam;
        TrayAction expected;
    } cases[] = {
        {true, 0x202, TrayAction::ShowWindow},  // left up
        {true, 0x203, TrayAction::ShowWindow},  // left double click
        {true, 0x205, TrayAction::OpenMenu},    // right up
        {true, kIconIdInHighWord | 0x202, TrayAction::ShowWindow},
        {true, kIconIdInHighWord | 0x205, TrayAction::OpenMenu},
        {true, 0x200, TrayAction::Nothing},  // move
        {true, 0x201, TrayAction::Nothing},  // left down
        {true, 0x204, TrayAction::Nothing},  // right down
        {true, 0x206, TrayAction::Nothing},  // right double click
        {true, 0x208, TrayAction::Nothing},  // middle up
        // Shown: the icon is ignored, and so is a real move at x = 514,
        // whose low word reads like a left release.
        {false, 0x202, TrayAction::Nothing},
        {false, 0x205, TrayAction::Nothing},
        {false, (uint64_t{40} << 16) | 514, TrayAction::Nothing},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DecodeTrayMessage(c.minimised, c.lParam), c.expected) << c.minimised << " " << std::hex << c.lParam;
}

TEST(TrayTip, TextThenOneNulThenBlanks) {
    struct Case {
        std::string tip;
        size_t nulAt;
    } cases[] = {
        {"Korvane Veltrano", 16},
        {"", 0},
        {std::string(63, 'a'), 63},
        {std::string(200, 'c'), 63},
        {std::string("ab\0cd", 5), 2},
    };
    for (const auto& c : cases) {
        const auto field = TrayTipField(c.tip);
        ASSERT_EQ(field[c.nulAt], '\0') << c.tip.size();
        EXPECT_EQ(std::string(field.data(), c.nulAt), c.tip.substr(0, c.nulAt));
        EXPECT_EQ(std::string(field.data() + c.nulAt + 1, field.size() - c.nulAt - 1),
                  std::string(field.size() - c.nulAt - 1, ' '));
    }
}

// Started by bare name, a notepad.exe planted beside the exe would run
// instead of Windows' own; a blank must split neither path.
TEST(OutsideTools, StartFromTheSystemFolderWithPathsQuoted) {
    EXPECT_EQ(EditServerListCommandLine("C:\\Windows\\system32\\", "C:\\Program Files\\Tool\\"),
              "\"C:\\Windows\\system32\\notepad.exe\" \"C:\\Program Files\\Tool\\ntp_servers.txt\"");
    EXPECT_EQ(DateTimeCommandLine("D:\\My Windows\\System32\\"),
              "\"D:\\My Windows\\System32\\rundll32.exe\" shell32.dll,Control_RunDLL timedate.cpl,,0");
}

}  // namespace
