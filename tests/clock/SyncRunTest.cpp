#include <gtest/gtest.h>

#include "fakes/FakeClock.h"
#include "fakes/FakeSocket.h"
#include "fakes/SyncRig.h"

namespace {

using Script = FakeSocket::Script;

// E2 E1 F3 C7: 2020-08-15 05:40:23 UTC.
const std::string kReply("\xE2\xE1\xF3\xC7", 4);
const SystemTime kServerTime{2020, 8, 0, 15, 5, 40, 23, 0};

Script Answers(const std::string& bytes) { return {FakeSocket::Bytes(bytes), FakeSocket::Closed()}; }

struct Rig : SyncRig<FakeSocket, FakePump, FakeClock> {
    Rig()
        : SyncRig({{"time.example", "127.0.0.2", "first"},
                   {"", "", "blank"},
                   {"host.only", "", "no address"},
                   {"", "192.0.2.1", "address only"}},
                  {2020, 1, 0, 1, 0, 0, 0, 0}) {
        clock.utc = kServerTime;
        // The buttons must stay disabled for as long as anything else can run.
        pump.hook = [this] {
            EXPECT_FALSE(cmdCheckTime.enabled);
            EXPECT_FALSE(cmdSynchronize.enabled);
        };
    }
};

TEST(SyncTime, SelectionProblemsEndBeforeConnecting) {
    Rig r;
    r.cmbServer.index = -1;
    r.Check();
    EXPECT_EQ(r.lblInfo.history, std::vector<std::string>{" No server selected"});

    r.cmbServer.index = 1;
    r.Synchronize();
    EXPECT_EQ(r.lblInfo.Text(), " No data for this server, please select server");

    r.cmbServer.index = 7;  // past the end of the table: an empty entry
    r.Check();
    EXPECT_EQ(r.lblInfo.Text(), " No data for this server, please select server");

    EXPECT_TRUE(r.socket.connectedTo.empty());
    EXPECT_TRUE(r.ButtonsEnabled());
}

TEST(SyncTime, UseIpPicksTheAddressOnlyWhenThereIsOne) {
    Rig r;
    r.socket.servers = {Answers(kReply), Answers(kReply), Answers(kReply), Answers(kReply)};
    r.Check();
    r.chkUseIP.value = 1;
    r.Check();
    r.cmbServer.index = 2;
    r.Check();
    r.chkUseIP.value = 0;
    r.cmbServer.index = 3;  // an empty host name would mean this computer
    r.Check();
    EXPECT_EQ(r.socket.connectedTo,
              (std::vector<std::string>{"time.example", "127.0.0.2", "host.only", "192.0.2.1"}));
    EXPECT_EQ(r.socket.port, 37);
    EXPECT_EQ(r.lblInfo.history[0], " Getting Time from time.example ...");
}

TEST(SyncTime, CheckWithinOneSecondIsOk) {
    for (int delta : {-1, 0, 1}) {
        Rig r;
        r.clock.utc.wSecond = static_cast<uint16_t>(23 + delta);
        r.socket.servers = {Answers(kReply)};
        r.Check();
        EXPECT_EQ(r.lblInfo.history, (std::vector<std::string>{" Getting Time from time.example ...", " Local time is OK"}));
        EXPECT_TRUE(r.ButtonsEnabled());
        EXPECT_FALSE(r.run.LastSyncTimer());
        EXPECT_TRUE(r.clock.setCalls.empty());
    }
}

TEST(SyncTime, DifferenceIsCheckedOnceMoreNoSoonerThanFourSeconds) {
    Rig r;
    r.clock.utc.wSecond = 25;
    r.socket.servers = {Answers(kReply), Answers(kReply)};
    std::vector<double> connectTimes;
    r.pump.hook = [&] {
        if (r.socket.connectedTo.size() > connectTimes.size()) connectTimes.push_back(r.clock.MonotonicSeconds());
    };
    r.Check();
    ASSERT_EQ(r.socket.connectedTo.size(), 2u);
    EXPECT_GE(connectTimes[1] - connectTimes[0], SyncRun::kMinSecondsBetweenQueries);
    EXPECT_EQ(r.lblInfo.history, (std::vector<std::string>{" Getting Time from time.example ...",
                                                           " Getting Time from time.example ...",
                                                           " Local time inaccurate - difference is 2 seconds!"}));
    EXPECT_TRUE(r.ButtonsEnabled());
}

TEST(SyncTime, FurtherCheckDecidesTheResult) {
    Rig r;
    r.clock.utc.wSecond = 30;
    r.socket.servers = {Answers(kReply), Answers(std::string("\xE2\xE1\xF3\xCE", 4))};  // 7 s later
    r.Check();
    EXPECT_EQ(r.lblInfo.Text(), " Local time is OK");
}

TEST(SyncTime, DifferenceAcrossMidnightAndHoursOff) {
    // E2 E2 F5 7F: 2020-08-15 23:59:59 UTC.
    const std::string lateReply("\xE2\xE2\xF5\x7F", 4);
    struct Case {
        std::string reply;
        SystemTime system;
        int32_t offset;
        const char* message;
    } cases[] = {
        {lateReply, {2020, 8, 0, 16, 0, 0, 1, 0}, 0, " Local time inaccurate - difference is 2 seconds!"},
        {lateReply, {2020, 8, 0, 15, 23, 30, 0, 0}, 30, " Local time is OK"},
        {kReply, {2020, 8, 0, 15, 15, 40, 23, 0}, 0, " Local time inaccurate - difference is 36000 seconds!"},
        {kReply, {2020, 8, 0, 15, 5, 10, 23, 999}, 30, " Local time is OK"},
        {kReply, {2020, 8, 0, 15, 6, 40, 23, 0}, -60, " Local time is OK"},
        // 05:40:23 less six hours is 23:40:23 of the day before.
        {kReply, {2020, 8, 0, 14, 23, 40, 23, 0}, 360, " Local time is OK"},
        {kReply, {2019, 8, 0, 15, 5, 40, 23, 0}, 0, " Local time inaccurate - difference is 31622400 seconds!"},
    };
    for (const auto& c : cases) {
        Rig r;
        r.clock.utc = c.system;
        r.offsetMinutes = c.offset;
        r.socket.servers = {Answers(c.reply), Answers(c.reply)};
        r.Check();
        EXPECT_EQ(r.lblInfo.Text(), c.message) << c.offset;
    }
}

TEST(SyncTime, SettingTheClockRecordsTheEnd) {
    Rig r;
    r.offsetMinutes = -30;
    r.clock.local = {2020, 8, 0, 15, 17, 5, 9, 0};
    r.socket.servers = {Answers(kReply)};
    r.Synchronize();
    ASSERT_EQ(r.clock.setCalls.size(), 1u);
    EXPECT_EQ(r.clock.setCalls[0], (SystemTime{2020, 8, 0, 15, 6, 10, 23, 0}));
    EXPECT_EQ(r.lblInfo.Text(), " Time updated succesfully!  ( at 5:05:09 PM )");
    ASSERT_TRUE(r.run.LastSyncTimer());
    EXPECT_DOUBLE_EQ(*r.run.LastSyncTimer(), r.clock.MonotonicSeconds());
    EXPECT_TRUE(r.ButtonsEnabled());

    r.clock.local = {2020, 8, 0, 15, 0, 0, 0, 0};
    r.socket.servers = {Answers(kReply)};
    r.Synchronize();
    EXPECT_EQ(r.lblInfo.Text(), " Time updated succesfully!  ( at 12:00:00 AM )");
}

TEST(SyncTime, ImpossibleTimesAreNeverSetAndLargeOnesOnlyByTheUser) {
    // A0 A9 84 40: 1985-06-01 12:00:00 UTC, before the build.
    const std::string from1985("\xA0\xA9\x84\x40", 4);
    struct Case {
        std::string reply;
        SystemTime system;
        RunBy by;
        const char* message;  // empty: the clock is set
    } cases[] = {
        {from1985, kServerTime, RunBy::User, " Server time 1985-06-01 is older than this program - the clock was not changed!"},
        {kReply, {2020, 8, 0, 15, 20, 40, 24, 0}, RunBy::Automatic, " Clock not changed automatically - difference is 54001 seconds!"},
        {kReply, {2020, 8, 0, 15, 20, 40, 23, 0}, RunBy::Automatic, ""},
        {kReply, {2020, 8, 0, 15, 20, 40, 24, 0}, RunBy::User, ""},
    };
    for (const auto& c : cases) {
        Rig r;
        r.clock.utc = c.system;
        r.socket.servers = {Answers(c.reply)};
        r.Synchronize(c.by);
        if (*c.message) {
            EXPECT_EQ(r.lblInfo.Text(), c.message);
            EXPECT_TRUE(r.clock.setCalls.empty());
            EXPECT_FALSE(r.run.LastSyncTimer());
        } else {
            EXPECT_EQ(r.clock.setCalls.size(), 1u) << r.lblInfo.Text();
        }
    }
}

TEST(SyncTime, ReplyThatCameDuringAModalLoopIsNotATimeout) {
    Rig r;
    r.socket.servers = {Answers(kReply)};
    // A message box opened during the wait runs its own loop for 9 s, in which
    // the whole reply arrives at once; the system clock goes on meanwhile.
    r.pump.hook = [&] {
        if (r.socket.State() == SocketState::Closed) return;
        r.socket.DeliverOne();
        r.socket.DeliverOne();
        r.clock.monotonicMs += 9000;
        r.clock.utc.wSecond += 9;
    };
    r.Check();
    EXPECT_EQ(r.lblInfo.Text(), " Local time is OK");
    EXPECT_EQ(r.socket.connectedTo.size(), 1u);
}

TEST(SyncTime, RefusedClockIsReportedAndStillRestartsTheInterval) {
    Rig r;
    r.clock.answer = {false, 1314, "A required privilege is not held by the client."};
    r.socket.servers = {Answers(kReply)};
    r.Synchronize();
    EXPECT_EQ(r.lblInfo.Text(),
              " Cannot set the system clock! (An error occurred) 1314:A required privilege is not held by the client.");
    EXPECT_TRUE(r.run.LastSyncTimer());
}

TEST(SyncTime, ServersThatNeverFinishTimeOutOnTheMonotonicClock) {
    for (Script script : {Script{}, Script{FakeSocket::Bytes(kReply)}}) {
        Rig r;
        r.socket.servers = {script};
        const int64_t start = r.clock.monotonicMs;
        r.Synchronize();
        EXPECT_EQ(r.lblInfo.Text(), " Timeout awaiting for a response.");
        EXPECT_GT(r.clock.monotonicMs - start, 8000);
        EXPECT_LT(r.clock.monotonicMs - start, 8100);
        EXPECT_EQ(r.socket.State(), SocketState::Closed);
        EXPECT_TRUE(r.clock.setCalls.empty());
        EXPECT_FALSE(r.run.LastSyncTimer());
        EXPECT_TRUE(r.ButtonsEnabled());
    }
}

TEST(SyncTime, RefusedConnectionShowsTheErrorThenNoResponse) {
    Rig r;
    r.socket.servers = {{FakeSocket::Failed(10061)}};
    r.Synchronize();
    EXPECT_EQ(r.lblInfo.history, (std::vector<std::string>{" Getting Time from time.example ...",
                                                           "An error occurred: 10061:fake failure",
                                                           " No response received from NTP server."}));
    EXPECT_EQ(r.socket.State(), SocketState::Closed);
    EXPECT_TRUE(r.ButtonsEnabled());
}

TEST(SyncTime, BadRepliesEndWithTheirMessage) {
    struct Case {
        Script script;
        const char* message;
    } cases[] = {
        {{FakeSocket::Closed()}, " No response received from NTP server."},
        {Answers("   "), " No response received from NTP server."},
        {Answers(kReply + "x"), " Error in data received from NTP server, try again"},
        // A count whose last byte is a blank: 05:37:36, 167 s before the clock.
        {Answers(kReply.substr(0, 3) + " "), " Local time inaccurate - difference is 167 seconds!"},
        {{FakeSocket::Bytes(" " + kReply.substr(0, 1)), FakeSocket::Bytes(kReply.substr(1) + "  "),
          FakeSocket::Closed()},
         " Local time is OK"},
    };
    for (const auto& c : cases) {
        Rig r;
        r.socket.servers = {c.script, c.script};
        r.Check();
        EXPECT_EQ(r.lblInfo.Text(), c.message);
        EXPECT_TRUE(r.ButtonsEnabled());
    }
}

TEST(SyncTime, ConnectThatCannotStartTakesTheErrorPath) {
    Rig r;
    r.socket.connectFails = SocketError{10093, "not initialised"};
    r.Synchronize();
    EXPECT_EQ(r.lblInfo.Text(), " Cannot get time from server! (An error occurred) 10093:not initialised");
    EXPECT_TRUE(r.ButtonsEnabled());
    EXPECT_FALSE(r.run.LastSyncTimer());
}

TEST(SyncTime, NoSecondRunWhileOneWaits) {
    Rig r;
    r.socket.servers = {{FakeSocket::Bytes(kReply), FakeSocket::Closed()}, Answers("zzzz")};
    int nestedCalls = 0;
    r.pump.hook = [&] {
        ++nestedCalls;
        r.run.SyncTime(kSetClock, kFirstQuery);  // a timer tick arriving mid-run
    };
    r.Check();
    EXPECT_GT(nestedCalls, 0);
    EXPECT_EQ(r.socket.connectedTo.size(), 1u);
    EXPECT_EQ(r.lblInfo.Text(), " Local time is OK");
    EXPECT_FALSE(r.run.InProgress());
}

TEST(SyncTime, WindowsClosingEndsTheWaitWithWhatArrived) {
    Rig r;
    r.socket.servers = {{FakeSocket::Bytes(kReply)}};  // never closes
    r.pump.hook = [&] { r.windowsClosing = !r.run.ReplyData().Count().empty(); };
    const int64_t start = r.clock.monotonicMs;
    r.Check();
    EXPECT_EQ(r.lblInfo.Text(), " Local time is OK");
    EXPECT_LT(r.clock.monotonicMs - start, 100);
    EXPECT_EQ(r.socket.State(), SocketState::Closed);
}

TEST(SyncTime, SocketErrorWithoutOpenSocketDoesNotClose) {
    Rig r;
    r.run.Winsock1_Error(11001, "No such host is known.");
    EXPECT_EQ(r.lblInfo.Text(), "An error occurred: 11001:No such host is known.");
    EXPECT_EQ(r.socket.closeCalls, 0);
}

}  // namespace
