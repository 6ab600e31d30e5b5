#include <gtest/gtest.h>

#include "clock/AutoSync.h"
#include "fakes/FakeClock.h"
#include "fakes/FakeControls.h"
#include "fakes/FakeSocket.h"
#include "fakes/SyncRig.h"
#include "mainwindow/SyncPanel.h"

namespace {

constexpr int64_t kGoodRunMs = 20;  // a good exchange costs two polls of 10 ms

struct Rig : SyncRig<FakeSocket, FakePump, FakeClock> {
    FakeLabel lblInfo, lblTime;
    FakeButton button;
    FakeList cmbServer;
    FakeCheckBox chkUseIP, chkAuto;
    FakeTextBox txtInterval;
    ServerTable table{{"time.example", "", ""}};
    int32_t offsetMinutes = 0;
    SyncPanel window{{lblInfo, button, button, cmbServer, chkUseIP}, table, offsetMinutes, run, clock};
    AutoSync autoSync{{lblTime, chkAuto, txtInterval}, run, window, clock};

    Rig() {
        cmbServer.index = 0, chkAuto.value = 1, txtInterval.text = "1";
        socket.servers.assign(3, {"\xE2\xE1\xF3\xC7", ""});  // 2020-08-15 05:40:23 UTC, then the close
    }
    size_t Runs() const { return socket.connectedTo.size(); }
    void TickAt(int64_t ms) { clock.monotonicMs = ms, autoSync.TimerTime_Timer(); }
    // A run that sets the clock and ends at endMs, chosen so that the seconds
    // are exact in binary. False if it did not.
    bool SetClockEndingAt(int64_t endMs) {
        TickAt(endMs - kGoodRunMs);
        return run.LastSettingEnded() == endMs / 1000.0;
    }
};

TEST(AutoSync, RunsAtOnceUntilTheClockIsSetThenWhenTheElapsedTimeRoundedHalfToEvenExceedsTheInterval) {
    // Under a minute counts as 15; minutes whose seconds leave 32 bits are compared as they are.
    const std::pair<const char*, int64_t> cases[] = {{"1", 60}, {"0", 900}, {"35791396", 35'791'396}};
    for (const auto& [text, seconds] : cases) {
        Rig r;
        r.txtInterval.text = text;
        r.chkAuto.value = 0;
        r.TickAt(999'000);
        r.chkAuto.value = 1;
        ASSERT_TRUE(r.SetClockEndingAt(1'000'000)) << "nothing ran while off";
        const int64_t due = 1'000'000 + seconds * 1000;
        r.TickAt(due);
        r.TickAt(due + 500);  // rounds to the interval, which is even
        EXPECT_EQ(r.Runs(), 1u) << text;
        r.TickAt(due + 501);
        EXPECT_EQ(r.Runs(), 2u) << text;
        EXPECT_EQ(r.lblTime.history, std::vector<std::string>(5, "7:40:23 AM"));
    }
}

TEST(AutoSync, AfterARunThatDidNotSetTheClockTheNextWaitsAMinuteOrForARefusalTheInterval) {
    for (bool refused : {false, true}) {
        Rig r;
        r.txtInterval.text = "5";
        // Start-up's run, accepted by a server that never answers, or answering a day off the clock.
        refused ? void(r.clock.utc.wDay = 14) : r.socket.servers.push_front({});
        r.autoSync.RunAutomatic();
        const int64_t failed = r.clock.monotonicMs, quiet = refused ? 300'500 : 60'000;
        for (int64_t ms = failed; ms < failed + quiet; ms += 50) r.TickAt(ms);
        EXPECT_EQ(r.Runs(), 1u) << refused;
        r.TickAt(failed + quiet + 50);
        EXPECT_EQ(r.Runs(), 2u) << refused;
    }
}

}  // namespace
