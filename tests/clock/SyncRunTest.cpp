#include <gtest/gtest.h>

#include "fakes/FakeClock.h"
#include "fakes/FakeControls.h"
#include "fakes/FakeSocket.h"
#include "fakes/SyncRig.h"
#include "mainwindow/SyncPanel.h"

namespace {

using K = RunOutcome::Kind;
const std::string kReply("\xE2\xE1\xF3\xC7", 4);  // 2020-08-15 05:40:23 UTC
const SystemTime kServerTime{2020, 8, 0, 15, 5, 40, 23, 0};

FakeSocket::Script Answers(const std::string& bytes) { return {bytes, ""}; }
SystemTime Utc(uint16_t day, uint16_t h, uint16_t m, uint16_t s) { return {2020, 8, 0, day, h, m, s, 0}; }
RunRequest Synchronize(RunBy by = RunBy::User) { return Ask("time.example", "", ServerProtocol::Time, kSetClock, by); }

struct Rig : SyncRig<FakeSocket, FakePump, FakeClock> {
    explicit Rig(CorrectionConfirm* confirm = nullptr) : SyncRig({2020, 1, 0, 1, 0, 0, 0, 0}, nullptr, confirm) {}
};

// The texts that no run of these tests ends with; the others are checked in
// full where a run shows them.
TEST(StatusText, EveryTextOfTheStatusLineBlanksIncluded) {
    FakeClock clock;
    clock.local = Utc(15, 12, 0, 0);
    const std::pair<RunOutcome, std::string> cases[] = {
        {{.kind = K::Difference, .seconds = 2}, " Local time inaccurate - difference is 2 seconds!"},
        {{.kind = K::Set}, " Time updated succesfully!  ( at 12:00:00 PM )"},
        {{.kind = K::OlderThanProgram, .serverTime = SystemTime{1985, 6, 0, 1, 12, 0, 0, 0}},
         " Server time 1985-06-01 is older than this program - the clock was not changed!"},
        {{.kind = K::NotConfirmed, .seconds = 19676423},
         " Clock not changed - the difference of 19676423 seconds was not confirmed."},
        {{.kind = K::ThisMachine}, " The server's address is unknown: the time service takes no time from it"},
        {{.kind = K::CannotGetTime, .error = {6, "Overflow"}},
         " Cannot get time from server! (An error occurred) 6:Overflow"},
        {{.kind = K::Timeout}, " Timeout awaiting for a response."},
        {{.kind = K::NoResponse}, " No response received from NTP server."},
        {{.kind = K::ErrorInData}, " Error in data received from NTP server, try again"},
        {{.kind = K::Abandoned}, ""},
    };
    for (const auto& [outcome, text] : cases) EXPECT_EQ(StatusText(outcome, clock), text);
    EXPECT_EQ(ProgressText({RunProgress::Kind::SocketError, "", 0, {10061, "refused"}}),
              "An error occurred: 10061:refused");
}

// The window's controls and a run over the fakes.
struct PanelRig : Rig {
    FakeLabel lblInfo;
    FakeButton cmdCheckTime, cmdSynchronize;
    FakeList cmbServer;
    FakeCheckBox chkUseIP;
    const ServerTable table{{"time.example", "127.0.0.2", "first"}, {"host.only", "", "no address"},
                            {"", "192.0.2.1", "address only"}};
    const int32_t offset = 0;
    SyncPanel panel{{lblInfo, cmdCheckTime, cmdSynchronize, cmbServer, chkUseIP}, table, offset, run, clock};
};

TEST(SyncPanel, RequestComesFromTheChosenLineAndUseIp) {
    PanelRig r;
    // The last line has an address only: an empty host name would mean this computer.
    for (auto [index, useIp] : {std::pair{0, 0}, {0, 1}, {1, 1}, {2, 0}}) {
        r.cmbServer.index = static_cast<int16_t>(index), r.chkUseIP.value = useIp;
        r.socket.servers = {Answers(kReply)};
        EXPECT_EQ(r.panel.SyncTime(kCheckOnly, RunBy::User)->kind, K::LocalTimeOk);
    }
    EXPECT_EQ(r.socket.connectedTo, (std::vector<std::string>{"time.example", "127.0.0.2", "host.only", "192.0.2.1"}));
    EXPECT_EQ(r.lblInfo.history[1], " Local time is OK");
    // The same server by its address waits its turn, on the status line.
    EXPECT_EQ(r.lblInfo.history[2], " Waiting 4 s before asking 127.0.0.2 again ...");
    for (int16_t index : {-1, 3}) {
        r.cmbServer.index = index;
        r.panel.SyncTime(kSetClock, RunBy::User);
        EXPECT_EQ(r.lblInfo.Text(),
                  index < 0 ? " No server selected" : " No data for this server, please select server");
    }
    EXPECT_TRUE(r.clock.setCalls.empty());
}

TEST(SyncPanel, NothingElseRunsWhileARunWaits) {
    PanelRig r;
    r.cmbServer.index = 0;
    r.socket.servers = {Answers(kReply)};
    // Not a click, not the timer: their buttons are off, and a call finds the run busy.
    r.pump.hook = [&] {
        EXPECT_FALSE(r.cmdCheckTime.enabled || r.cmdSynchronize.enabled);
        EXPECT_EQ(r.panel.SyncTime(kCheckOnly, RunBy::Automatic), std::nullopt);
    };
    r.panel.SyncTime(kSetClock, RunBy::User);
    EXPECT_TRUE(r.cmdCheckTime.enabled && r.cmdSynchronize.enabled);
    EXPECT_EQ(r.socket.connectedTo.size(), 1u);
}

TEST(SyncRun, AWholeSecondsDifferenceIsAskedAgainAfterFourSecondsBeforeItIsBelieved) {
    // E2 E2 F5 7F: 2020-08-15 23:59:59 UTC, against a clock 1 or 2 seconds on.
    for (uint16_t second : {0, 1}) {
        Rig r;
        r.clock.utc = Utc(16, 0, 0, second);
        r.socket.servers = {Answers("\xE2\xE2\xF5\x7F"), Answers("\xE2\xE2\xF5\x7F")};
        const RunOutcome o = r.Run(Ask("time.example"));
        EXPECT_EQ(o.kind, second == 0 ? K::LocalTimeOk : K::Difference);
        EXPECT_EQ(o.seconds, second == 0 ? 0 : 2);
        EXPECT_EQ(o.serverTime, Utc(15, 23, 59, 59));
        EXPECT_EQ(r.socket.connectedTo.size(), second + 1u);
        // Public servers refuse a client that asks again within 4 s.
        EXPECT_TRUE(second == 0 || r.took >= 4.0) << r.took;
        EXPECT_TRUE(r.clock.setCalls.empty());
    }
}

TEST(SyncRun, SynchronizeSetsTheClockOnlyToATimeThatCanBeTrue) {
    struct Case {
        std::string reply;
        SystemTime utc;
        RunBy by;
        K kind;
        std::optional<SystemTime> set;  // and the end of the run recorded
        bool ok;                        // the answer, should the user be asked
        std::optional<int64_t> asked;
    } cases[] = {
        // A0 A9 84 40: 1985-06-01 12:00:00 UTC, before the build.
        {"\xA0\xA9\x84\x40", kServerTime, RunBy::User, K::OlderThanProgram, std::nullopt, {}, {}},
        // E1 B5 B6 C0: 2019-12-31 12:00:00 UTC, half a day before the build: a time zone away.
        // Beyond 15 h a click asks first; the minute the answer took goes on the time set.
        {"\xE1\xB5\xB6\xC0", kServerTime, RunBy::User, K::Set, SystemTime{2019, 12, 0, 31, 12, 1, 0, 0}, true,
         -19676423},
        {"\xE1\xB5\xB6\xC0", kServerTime, RunBy::User, K::NotConfirmed, std::nullopt, false, -19676423},
        {kReply, Utc(15, 20, 40, 23), RunBy::User, K::Set, kServerTime, {}, {}},
        // Fifteen hours is the most a run nobody watches may correct.
        {kReply, Utc(15, 20, 40, 24), RunBy::Automatic, K::TooFarAutomatic, std::nullopt, true, {}},
        {kReply, Utc(15, 20, 40, 23), RunBy::Automatic, K::Set, kServerTime, true, {}},
    };
    for (const auto& c : cases) {
        struct : CorrectionConfirm {
            bool ConfirmCorrection(const SystemTime&, int64_t seconds) override {
                return clock->monotonicMs += 60'000, asked.push_back(seconds), answer;
            }
            FakeClock* clock;
            bool answer;
            std::vector<int64_t> asked;
        } confirm;
        Rig r(&confirm);
        confirm.clock = &r.clock, confirm.answer = c.ok;
        r.clock.utc = c.utc;
        r.socket.servers = {Answers(c.reply)};
        const RunOutcome o = r.Run(Synchronize(c.by));
        EXPECT_EQ(o.kind, c.kind) << r.Last();
        EXPECT_EQ(o.RefusedCorrection(), !c.set) << r.Last();
        EXPECT_EQ(r.clock.setCalls, c.set ? std::vector{*c.set} : std::vector<SystemTime>{}) << r.Last();
        EXPECT_EQ(o.clockSet.has_value(), c.set.has_value());
        EXPECT_EQ(r.run.LastSettingEnded(), c.set ? std::optional(r.clock.MonotonicSeconds()) : std::nullopt);
        EXPECT_EQ(confirm.asked, c.asked ? std::vector{*c.asked} : std::vector<int64_t>{}) << r.Last();
    }
}

TEST(SyncRun, QuestionGivesTheServersTimeWithTheDifferenceInWholeMinutes) {
    // A count of zero unfolds to 2036-02-07 06:28:16 UTC.
    EXPECT_EQ(CorrectionQuestion({2036, 2, 0, 7, 6, 28, 16, 0}, 871199),
              "The time server says it is 2036-02-07 06:28:16 UTC: 10 days, 1 hour and 59 minutes ahead of this "
              "computer's clock.\n\nSet the clock to the server's time?");
    EXPECT_EQ(CorrectionQuestion(kServerTime, -90061).substr(27), "2020-08-15 05:40:23 UTC: 1 day, 1 hour and 1 "
              "minute behind this computer's clock.\n\nSet the clock to the server's time?");
}

TEST(SyncRun, AutomaticRunsAreHeldToAnAnchorThatOnlyAPersonsSettingMoves) {
    const auto reply = [](uint32_t seconds) {  // kReply and seconds later, big-endian
        const uint32_t count = 0xE2E1F3C7u + seconds;
        return Answers({char(count >> 24), char(count >> 16), char(count >> 8), char(count)});
    };
    constexpr uint32_t k14h = 14 * 3600;
    Rig r;
    // Four steps of 14 h, each within 15 h of the clock as the last one left it.
    for (uint32_t step = 1; step <= 4; ++step) {
        r.socket.servers = {reply(step * k14h)};
        r.Run(Synchronize(RunBy::Automatic));
        if (!r.clock.setCalls.empty()) r.clock.utc = r.clock.setCalls.back();
    }
    EXPECT_EQ(r.clock.setCalls, std::vector{Utc(15, 19, 40, 23)});
    // 56 h on, less the 12 s that the last three waited for the server's turn.
    EXPECT_EQ(r.Last(), " Clock not changed automatically - difference is 201588 seconds!");
    // After a night of 16 h asleep, which the monotonic clock need not count, someone else
    // puts the clock 20 h ahead: true time, near the anchor, brings it back.
    r.clock.asleepSeconds += 16 * 3600;
    r.clock.utc = Utc(16, 17, 40, 23);
    r.socket.servers = {reply(16 * 3600)};
    r.Run(Synchronize(RunBy::Automatic));
    EXPECT_EQ(r.clock.setCalls.back(), Utc(15, 21, 40, 23));
    // Synchronize clicked moves the anchor along with the clock.
    r.socket.servers = {reply(4 * k14h), reply(4 * k14h)};
    r.Run(Synchronize(RunBy::User));
    r.Run(Synchronize(RunBy::Automatic));
    EXPECT_EQ(r.clock.setCalls,
              (std::vector{Utc(15, 19, 40, 23), Utc(15, 21, 40, 23), Utc(17, 13, 40, 23), Utc(17, 13, 40, 23)}));
}

TEST(SyncRun, ReplyThatCameDuringAModalLoopIsNotATimeout) {
    Rig r;
    r.socket.servers = {Answers(kReply)};
    // A message box opened during the wait runs its own loop for 9 s, in which
    // the whole reply arrives at once; the system clock goes on meanwhile.
    r.pump.hook = [&] {
        if (r.socket.State() == SocketState::Closed) return;
        r.socket.DeliverOne(), r.socket.DeliverOne();
        r.clock.monotonicMs += 9000, r.clock.utc.wSecond += 9;
    };
    EXPECT_EQ(r.Run(Ask("time.example")).kind, K::LocalTimeOk);
}

TEST(SyncRun, ServerThatNeverClosesTimesOutOnTheMonotonicClockUnlessWindowsIsClosing) {
    for (bool closing : {false, true}) {
        Rig r;
        r.socket.servers = {FakeSocket::Script{kReply}};
        r.pump.hook = [&] { r.stop = closing && r.socket.State() == SocketState::Connected; };
        EXPECT_EQ(r.Run(Ask("time.example")).kind, closing ? K::LocalTimeOk : K::Timeout);
        EXPECT_TRUE(closing ? r.took < 0.1 : r.took > 8.0 && r.took < 8.1) << r.took;
        EXPECT_EQ(r.socket.State(), SocketState::Closed);
    }
}

TEST(QueryPacer, EachServerWaitsItsTurnAndAllQueriesTogetherAreCappedPerMinute) {
    constexpr double kAnyWait = 1e9;
    // A server by name, by address and by the address reached.
    QueryPacer p({4, 15, 0, kAnyWait});
    p.Record("d", "", "", 90);
    p.Record("a", "", "192.0.2.1", 100);
    p.Record("b", "192.0.2.1", "192.0.2.1", 101);  // another line of the same server
    p.Record("n", "", "192.0.2.2", 100);
    p.Record("c", "", "", 100.5);  // reached nothing
    const std::tuple<const char*, const char*, bool, double> cases[] = {
        {"a", "", false, 105.0},  // its own turn at 104, but the server was asked at 101
        {"b", "192.0.2.1", true, 116.0}, {"x", "192.0.2.1", false, 105.0}, {"n", "", true, 115.0},
        {"c", "", false, 104.5},
        {"d", "", false, 101.5},  // shares no empty address with c
    };
    for (const auto& [host, address, ntp, turn] : cases) EXPECT_EQ(p.Turn(host, address, ntp, 101.5), turn) << host;
    EXPECT_EQ(QueryPacer({4, 15, 0, 3.0}).Turn("a", "", false, 0), 0.0);
    QueryPacer impatient({4, 15, 0, 3.0});
    impatient.Record("a", "", "", 100);
    EXPECT_EQ(impatient.Turn("a", "", false, 100.5), std::nullopt) << "longer than the client waits";
    // Twelve a minute, whichever servers they go to.
    QueryPacer busy({4, 15, 12, kAnyWait});
    for (int i = 0; i < 12; ++i) busy.Record("line" + std::to_string(i), "", "", i);
    EXPECT_EQ(busy.Turn("new", "", false, 11.5), 60.0);
    busy.Record("new", "", "", 60.0);
    EXPECT_EQ(busy.Turn("other", "", false, 60.0), 61.0);
}

}  // namespace
