#include <gtest/gtest.h>

#include <string>
#include <vector>

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

// Takes the icon at the given try (0 the first add, k the k-th retry); never at -1.
struct FakeTrayShell final : TrayShell {
    int takesAt = -1, adds = 0, timerStops = 0, gaveUp = 0;
    std::vector<uint32_t> timerStarts;
    bool AddIcon() override { return adds++ == takesAt; }
    void StartRetryTimer(uint32_t ms) override { timerStarts.push_back(ms); }
    void StopRetryTimer() override { ++timerStops; }
    void GiveUp() override { ++gaveUp; }
};

TEST(TrayAddRetry, RefusedAddIsTriedOnEachTickUntilTakenStoppedOrGivenUp) {
    struct Case {
        int takesAt, stopAfterTicks, adds;
        bool retried, gaveUp;
    } cases[] = {
        {0, 99, 1, false, false},   // taken at once: no timer
        {3, 99, 4, true, false},
        {5, 99, 6, true, false},    // at the last retry
        {-1, 99, 6, true, true},    // the first add and five retries
        {-1, 2, 3, true, false},    // removed, or added by TaskbarCreated
    };
    for (const auto& c : cases) {
        FakeTrayShell shell;
        shell.takesAt = c.takesAt;
        TrayAddRetry retry(shell, 500, 5);
        retry.Add();
        // Ticks past the end are ones still queued when the timer stopped.
        for (int tick = 1; tick <= 8; ++tick) {
            retry.Tick();
            if (tick == c.stopAfterTicks) retry.Stop();
        }
        SCOPED_TRACE("case " + std::to_string(&c - cases));
        EXPECT_EQ(shell.adds, c.adds);
        EXPECT_EQ(shell.timerStarts, c.retried ? std::vector<uint32_t>{500} : std::vector<uint32_t>{});
        EXPECT_EQ(shell.timerStops, c.retried ? 1 : 0);
        EXPECT_EQ(shell.gaveUp, c.gaveUp ? 1 : 0);
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
