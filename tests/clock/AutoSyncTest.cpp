#include <gtest/gtest.h>

#include "clock/AutoSync.h"
#include "fakes/FakeClock.h"
#include "fakes/FakeControls.h"
#include "fakes/FakeSocket.h"

namespace {

// A good exchange costs two polls of 10 ms, a refused one a single poll.
constexpr int64_t kGoodRunMs = 20, kRefusedRunMs = 10;

struct Rig {
    FakeLabel lblInfo, lblTime;
    FakeButton cmdCheckTime, cmdSynchronize;
    FakeChooser cmbServer;
    FakeCheck chkUseIP, chkAuto;
    FakeTextBox txtInterval;
    ServerTable table{{"time.example", "", ""}};
    int32_t offsetMinutes = 0;
    bool windowsClosing = false;
    FakeSocket socket;
    FakePump pump{socket};
    FakeClock clock;
    SyncRun run{{lblInfo, cmdCheckTime, cmdSynchronize, cmbServer, chkUseIP},
                {table, offsetMinutes, windowsClosing}, socket, clock, pump};
    AutoSync autoSync{{lblTime, chkAuto, txtInterval}, run, clock};

    Rig() {
        socket.events = &run;
        cmbServer.index = 0;
        chkAuto.value = 1;
        txtInterval.text = "1";
    }
    size_t Runs() const { return socket.connectedTo.size(); }
    // E2 E1 F3 C7 is 2020-08-15 05:40:23 UTC.
    void ServerAnswers() { socket.servers.push_back({FakeSocket::Bytes("\xE2\xE1\xF3\xC7"), FakeSocket::Closed()}); }
    void ServerRefuses() { socket.servers.push_back({FakeSocket::Failed(10061)}); }
    void TickAt(int64_t ms) {
        clock.monotonicMs = ms;
        autoSync.TimerTime_Timer();
    }
    // A manual Synchronize that sets the clock and ends at endMs, chosen so
    // that the seconds are exact in binary.
    void SynchronizeEndingAt(int64_t endMs) {
        ServerAnswers();
        clock.monotonicMs = endMs - kGoodRunMs;
        run.SyncTime(false, false);
        ASSERT_EQ(run.LastSyncTimer(), endMs / 1000.0);
    }
};

TEST(AutoSync, TickShowsTheTimeAndRunsAtOnceUntilSomethingSetsTheClock) {
    Rig r;
    r.clock.regional = "15:07:40";
    r.chkAuto.value = 0;
    r.TickAt(1'000'000);
    EXPECT_EQ(r.Runs(), 0u);
    r.chkAuto.value = 1;
    r.ServerAnswers();
    r.TickAt(1'000'050);
    r.TickAt(1'000'100);
    EXPECT_EQ(r.Runs(), 1u);
    EXPECT_EQ(r.lblTime.history, (std::vector<std::string>(3, "15:07:40")));
}

TEST(AutoSync, ElapsedTimeRoundsHalfToEvenAndMustExceedTheInterval) {
    Rig r;
    r.SynchronizeEndingAt(1'000'000);
    r.ServerAnswers();
    r.TickAt(1'060'000);  // exactly the interval
    r.TickAt(1'060'500);  // 60.5 rounds to 60
    EXPECT_EQ(r.Runs(), 1u);
    r.TickAt(1'060'501);
    EXPECT_EQ(r.Runs(), 2u);

    r.txtInterval.text = "2";
    r.SynchronizeEndingAt(2'000'000);
    r.ServerAnswers();
    r.TickAt(2'120'500);
    EXPECT_EQ(r.Runs(), 3u);
    r.TickAt(2'121'500);  // 121.5 rounds to 122
    EXPECT_EQ(r.Runs(), 4u);
}

TEST(AutoSync, IntervalTextIsReadOnEveryTick) {
    const std::pair<const char*, int64_t> cases[] = {
        {"", 900}, {"0", 900}, {"-5", 900}, {"abc", 900}, {"2", 120}, {" 3 ", 180}, {"1.5", 120},
        // Minutes whose seconds leave 32 bits are compared as they are.
        {"35791395", 35'791'395}, {"2147483647", 2'147'483'647},
    };
    for (const auto& [text, seconds] : cases) {
        Rig r;
        r.SynchronizeEndingAt(1'000'000);
        r.txtInterval.text = text;
        r.ServerAnswers();
        r.TickAt(1'000'000 + seconds * 1000);
        EXPECT_EQ(r.Runs(), 1u) << '"' << text << '"';
        r.TickAt(1'000'000 + (seconds + 1) * 1000);
        EXPECT_EQ(r.Runs(), 2u) << '"' << text << '"';
    }
}

TEST(AutoSync, MidnightOrAClockChangeDoesNotStartAnEarlyRun) {
    Rig r;
    r.txtInterval.text = "15";
    r.clock.local = {2020, 8, 6, 15, 23, 55, 0, 0};
    r.SynchronizeEndingAt(1'000'000);
    r.clock.local = {2020, 8, 0, 16, 0, 1, 0, 0};  // six minutes later, past midnight
    r.TickAt(1'360'000);
    r.clock.local = {2019, 1, 2, 1, 3, 0, 0, 0};  // the user moved the clock back a year
    r.TickAt(1'360'050);
    EXPECT_EQ(r.Runs(), 1u);
}

TEST(AutoSync, FailedRunWaitsAMinuteFromItsEndWhateverTheTicks) {
    Rig r;
    r.ServerRefuses();  // start-up's run
    r.clock.monotonicMs = 1'000'000 - kRefusedRunMs;
    r.autoSync.RunAutomatic();
    ASSERT_EQ(r.clock.monotonicMs, 1'000'000);
    for (int64_t ms = 1'000'050; ms < 1'060'000; ms += 50) r.TickAt(ms);
    EXPECT_EQ(r.Runs(), 1u);

    r.socket.servers.push_back({});  // accepts, then never answers
    r.TickAt(1'060'000);
    EXPECT_EQ(r.lblInfo.Text(), " Timeout awaiting for a response.");
    const int64_t timedOut = r.clock.monotonicMs;
    r.ServerAnswers();
    r.TickAt(timedOut + 59'950);
    EXPECT_EQ(r.Runs(), 2u);
    r.TickAt(timedOut + 60'050);
    EXPECT_EQ(r.Runs(), 3u);

    // The clock is set: back to the ordinary interval of one minute.
    const int64_t setAt = r.clock.monotonicMs;
    r.ServerAnswers();
    r.TickAt(setAt + 60'000);
    EXPECT_EQ(r.Runs(), 3u);
    r.TickAt(setAt + 61'000);
    EXPECT_EQ(r.Runs(), 4u);
}

TEST(AutoSync, TicksDuringARunOnlyRefreshTheClock) {
    Rig r;
    // A manual Check waits for a server that never answers; the timer ticks on.
    r.socket.servers.push_back({});
    r.pump.hook = [&] { r.autoSync.TimerTime_Timer(); };
    r.run.SyncTime(true, false);
    r.pump.hook = nullptr;
    EXPECT_EQ(r.Runs(), 1u);
    EXPECT_GT(r.lblTime.history.size(), 100u);

    // A failed manual run is no reason for the automatic one to wait.
    r.ServerAnswers();
    r.autoSync.TimerTime_Timer();
    EXPECT_EQ(r.Runs(), 2u);
}

}  // namespace
