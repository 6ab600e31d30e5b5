#include <gtest/gtest.h>

#include <string>

#include "platform/NotifyIcon.h"
#include "serverlist/ServerList.h"

namespace {

TEST(TrayDecode, OnlyReleasesOrADoubleClickActWhileMinimised) {
    constexpr uint64_t kId = uint64_t{1} << 16;  // the icon's id in the high word
    constexpr auto Show = TrayAction::ShowWindow, Menu = TrayAction::OpenMenu, No = TrayAction::Nothing;
    // Left up, left double click, right up act; a down and a right double click do not.
    const std::tuple<bool, uint64_t, TrayAction> cases[] = {
        {true, 0x202, Show}, {true, 0x203, Show}, {true, kId | 0x205, Menu}, {true, 0x201, No}, {true, 0x206, No},
        // Shown: the icon is ignored, and so is a real move at x = 514, whose low word reads like a left release.
        {false, 0x202, No},  {false, (uint64_t{40} << 16) | 514, No},
    };
    for (const auto& [minimised, lParam, expected] : cases)
        EXPECT_EQ(DecodeTrayMessage(minimised, lParam), expected) << minimised << " " << std::hex << lParam;
}

// Logs each call; takes the icon at the given try (0 the first add, k the k-th retry), never at -1.
struct FakeTrayShell final : TrayShell {
    int takesAt = -1, adds = 0;
    std::string log;
    bool AddIcon() override { return log += "add ", adds++ == takesAt; }
    void StartRetryTimer(uint32_t ms) override { log += "start " + std::to_string(ms) + " "; }
    void StopRetryTimer() override { log += "stop "; }
    void GiveUp() override { log += "give-up"; }
};

TEST(TrayAddRetry, RefusedAddIsTriedOnEachTickUntilTakenStoppedOrGivenUp) {
    // Taken at once, at the third retry, never (the first add and five retries), and stopped: removed, or
    // added by TaskbarCreated. Ticks past the end are ones still queued when the timer stopped.
    const std::tuple<int, int, std::string> cases[] = {
        {0, 99, "add "}, {3, 99, "add start 500 add add add stop "}, {-1, 2, "add start 500 add add stop "},
        {-1, 99, "add start 500 add add add add add stop give-up"}};
    for (const auto& [takesAt, stopAfterTicks, log] : cases) {
        FakeTrayShell shell;
        shell.takesAt = takesAt;
        TrayAddRetry retry(shell, 500, 5);
        retry.Add();
        for (int tick = 1; tick <= 8; ++tick) retry.Tick(), tick == stopAfterTicks ? retry.Stop() : void();
        EXPECT_EQ(shell.log, log) << takesAt << " " << stopAfterTicks;
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
