#include <gtest/gtest.h>

#include "fakes/FakeClock.h"
#include "fakes/FakeSocket.h"
#include "fakes/SyncRig.h"

namespace {

const std::string kReply("\xE2\xE1\xF3\xC7", 4);  // 2020-08-15 05:40:23 UTC
const SystemTime kServerTime{2020, 8, 0, 15, 5, 40, 23, 0};
const std::string kOk = " Local time is OK";

FakeSocket::Script Answers(const std::string& bytes) { return {bytes, ""}; }
SystemTime Utc(uint16_t day, uint16_t h, uint16_t m, uint16_t s) { return {2020, 8, 0, day, h, m, s, 0}; }

struct Rig : SyncRig<FakeSocket, FakePump, FakeClock> {
    explicit Rig(CorrectionConfirm* confirm = nullptr)
        : SyncRig({{"time.example", "127.0.0.2", "first"}, {"host.only", "", "no address"},
                   {"", "192.0.2.1", "address only"}},
                  {2020, 1, 0, 1, 0, 0, 0, 0}, nullptr, confirm) {
        clock.utc = kServerTime;
        // The buttons must stay disabled for as long as anything else can run.
        pump.hook = [this] { EXPECT_FALSE(cmdCheckTime.enabled || cmdSynchronize.enabled); };
    }
};

TEST(SyncTime, UseIpPicksTheAddressOnlyWhenThereIsOne) {
    Rig r;
    // The last entry has an address only: an empty host name would mean this computer.
    for (auto [index, useIp] : {std::pair{0, 0}, {0, 1}, {1, 1}, {2, 0}}) {
        r.cmbServer.index = static_cast<int16_t>(index), r.chkUseIP.value = useIp;
        r.Check();
    }
    EXPECT_EQ(r.socket.connectedTo, (std::vector<std::string>{"time.example", "127.0.0.2", "host.only", "192.0.2.1"}));
}

TEST(SyncTime, CheckAllowsASecondAndAsksAgainAfterFourSecondsBeforeReportingMore) {
    // E2 E2 F5 7F: 2020-08-15 23:59:59 UTC, against a clock 1 or 2 seconds on.
    for (uint16_t second : {0, 1}) {
        Rig r;
        r.clock.utc = Utc(16, 0, 0, second);
        r.socket.servers = {Answers("\xE2\xE2\xF5\x7F"), Answers("\xE2\xE2\xF5\x7F")};
        const double took = r.Check();
        EXPECT_EQ(r.lblInfo.Text(), second == 0 ? kOk : " Local time inaccurate - difference is 2 seconds!");
        EXPECT_EQ(r.socket.connectedTo.size(), second + 1u);
        // Public servers refuse a client that asks again within 4 s.
        EXPECT_TRUE(second == 0 || took >= 4.0) << took;
        EXPECT_TRUE(r.ButtonsEnabled() && r.clock.setCalls.empty());
    }
}

TEST(SyncTime, SynchronizeSetsTheClockOrSaysWhyNot) {
    const std::string updated = " Time updated succesfully!  ( at 12:00:00 PM )";  // the local clock reads noon
    struct Case {
        std::string reply;
        SystemTime utc;
        RunBy by;
        std::string message;
        std::optional<SystemTime> set;  // and the end of the run recorded
        bool ok;                        // the answer, should the user be asked
        std::optional<int64_t> asked;
    } cases[] = {
        // A0 A9 84 40: 1985-06-01 12:00:00 UTC, before the build.
        {"\xA0\xA9\x84\x40", kServerTime, RunBy::User,
         " Server time 1985-06-01 is older than this program - the clock was not changed!", std::nullopt, {}, {}},
        // E1 B5 B6 C0: 2019-12-31 12:00:00 UTC, half a day before the build: a time zone away.
        // Beyond 15 h a click asks first; the minute the answer took goes on the time set.
        {"\xE1\xB5\xB6\xC0", kServerTime, RunBy::User, updated, SystemTime{2019, 12, 0, 31, 12, 1, 0, 0}, true,
         -19676423},
        {"\xE1\xB5\xB6\xC0", kServerTime, RunBy::User,
         " Clock not changed - the difference of 19676423 seconds was not confirmed.", std::nullopt, false, -19676423},
        {kReply, Utc(15, 20, 40, 23), RunBy::User, updated, kServerTime, {}, {}},
        // Fifteen hours is the most a run nobody watches may correct.
        {kReply, Utc(15, 20, 40, 24), RunBy::Automatic,
         " Clock not changed automatically - difference is 54001 seconds!", std::nullopt, true, {}},
        {kReply, Utc(15, 20, 40, 23), RunBy::Automatic, updated, kServerTime, true, {}},
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
        r.clock.utc = c.utc, r.clock.local = Utc(15, 12, 0, 0);
        r.socket.servers = {Answers(c.reply)};
        r.Synchronize(c.by);
        EXPECT_EQ(r.lblInfo.Text(), c.message);
        EXPECT_EQ(r.clock.setCalls, c.set ? std::vector{*c.set} : std::vector<SystemTime>{}) << c.message;
        EXPECT_EQ(r.run.LastSyncTimer(), c.set ? std::optional(r.clock.MonotonicSeconds()) : std::nullopt) << c.message;
        EXPECT_EQ(confirm.asked, c.asked ? std::vector{*c.asked} : std::vector<int64_t>{}) << c.message;
        EXPECT_TRUE(r.ButtonsEnabled());
    }
}

TEST(SyncTime, QuestionGivesTheServersTimeAndTheDifferenceInWholeMinutes) {
    // A count of zero unfolds to 2036-02-07 06:28:16 UTC.
    EXPECT_EQ(CorrectionQuestion({2036, 2, 0, 7, 6, 28, 16, 0}, 871199),
              "The time server says it is 2036-02-07 06:28:16 UTC: 10 days, 1 hour and 59 minutes ahead of this "
              "computer's clock.\n\nSet the clock to the server's time?");
    EXPECT_EQ(CorrectionQuestion(kServerTime, -90061).substr(27), "2020-08-15 05:40:23 UTC: 1 day, 1 hour and 1 "
              "minute behind this computer's clock.\n\nSet the clock to the server's time?");
}

TEST(SyncTime, AutomaticRunsAreHeldToTheClockAsFoundAndOnlyAPersonsSettingMovesIt) {
    const auto reply = [](uint32_t seconds) {  // kReply and seconds later, big-endian
        const uint32_t count = 0xE2E1F3C7u + seconds;
        return Answers({char(count >> 24), char(count >> 16), char(count >> 8), char(count)});
    };
    constexpr uint32_t k14h = 14 * 3600;
    Rig r;
    // Four steps of 14 h, each within 15 h of the clock as the last one left it.
    for (uint32_t step = 1; step <= 4; ++step) {
        r.socket.servers = {reply(step * k14h)};
        r.Synchronize(RunBy::Automatic);
        if (!r.clock.setCalls.empty()) r.clock.utc = r.clock.setCalls.back();
    }
    EXPECT_EQ(r.clock.setCalls, std::vector{Utc(15, 19, 40, 23)});
    EXPECT_EQ(r.lblInfo.Text(), " Clock not changed automatically - difference is 201600 seconds!");
    // After a night of 16 h asleep, which the monotonic clock need not count, someone else
    // puts the clock 20 h ahead: true time, near the anchor, brings it back.
    r.clock.asleepSeconds += 16 * 3600;
    r.clock.utc = Utc(16, 17, 40, 23);
    r.socket.servers = {reply(16 * 3600)};
    r.Synchronize(RunBy::Automatic);
    EXPECT_EQ(r.clock.setCalls.back(), Utc(15, 21, 40, 23));
    // Synchronize clicked moves the anchor along with the clock.
    r.socket.servers = {reply(4 * k14h), reply(4 * k14h)};
    r.Synchronize(RunBy::User);
    r.Synchronize(RunBy::Automatic);
    EXPECT_EQ(r.clock.setCalls,
              (std::vector{Utc(15, 19, 40, 23), Utc(15, 21, 40, 23), Utc(17, 13, 40, 23), Utc(17, 13, 40, 23)}));
}

TEST(SyncTime, ReplyThatCameDuringAModalLoopIsNotATimeout) {
    Rig r;
    r.socket.servers = {Answers(kReply)};
    // A message box opened during the wait runs its own loop for 9 s, in which
    // the whole reply arrives at once; the system clock goes on meanwhile, and
    // the timer's tick in that loop starts no run of its own.
    r.pump.hook = [&] {
        r.Synchronize();
        if (r.socket.State() == SocketState::Closed) return;
        r.socket.DeliverOne(), r.socket.DeliverOne();
        r.clock.monotonicMs += 9000, r.clock.utc.wSecond += 9;
    };
    r.Check();
    EXPECT_EQ(r.lblInfo.Text(), kOk);
}

TEST(SyncTime, ServerThatNeverClosesTimesOutOnTheMonotonicClockUnlessWindowsIsClosing) {
    for (bool closing : {false, true}) {
        Rig r;
        r.socket.servers = {FakeSocket::Script{kReply}};
        r.pump.hook = [&] { r.windowsClosing = closing && !r.run.ReplyData().Count().empty(); };
        const double took = r.Check();
        EXPECT_EQ(r.lblInfo.Text(), closing ? kOk : " Timeout awaiting for a response.");
        EXPECT_TRUE(closing ? took < 0.1 : took > 8.0 && took < 8.1) << took;
        EXPECT_EQ(r.socket.State(), SocketState::Closed);
    }
}

}  // namespace
