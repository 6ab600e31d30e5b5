#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "fakes/FakeClock.h"
#include "fakes/FakeSocket.h"
#include "fakes/SyncRig.h"
#include "service/SyncRequest.h"
#include "service/TimeService.h"

namespace {

const std::string kReply("\xE2\xE1\xF3\xC7", 4);  // 2020-08-15 05:40:23 UTC
const std::string kCannotSet = " Cannot set the system clock! (An error occurred) 1314:privilege";
const std::string kUpdated = " Time updated succesfully!  ( at 7:40:23 AM )";
using Result = SyncReply::Result;

struct Log final : EventLog {
    void Report(const std::string& text) override { entries.push_back(text); }
    std::vector<std::string> entries;
};

struct Addresses final : MachineAddresses {
    std::vector<std::string> List() const override { return {"192.0.2.7"}; }
};

// The service's folder and list, one for each test: ctest runs them side by side.
std::string ServiceFolder() {
    const std::string folder = testing::TempDir() + testing::UnitTest::GetInstance()->current_test_info()->name() + "/";
    std::filesystem::create_directories(folder);
    std::ofstream(folder + "ntp_servers.txt")
        << "time.example|127.0.0.2|listed\r\nntp.example||ntp|ntp\r\na|192.0.2.1|a\r\nb|192.0.2.2|b\r\n";
    return folder;
}

// The service in this process, over fakes of its own, on the far end of a
// pipe that hands each request straight to it.
struct Service final : ServiceClient {
    Service() {
        socket.SetEvents(&service.Events());
        socket.peerAddress = "192.0.2.1";  // another computer, unless a test says otherwise
        clock.utc = {2020, 8, 6, 15, 4, 0, 0, 0};
    }
    Sent Send(std::string_view request) override {
        if (!running) return Sent::NoService;
        return requests.emplace_back(request), reply = service.Answer(request, "alice"), Sent::Sent;
    }
    std::optional<std::string> Reply() override { return reply; }
    void Close() override {}

    FakeSocket socket;
    FakePump pump{socket};
    FakeClock clock;
    Log log;
    Addresses own;
    TimeService service{ServiceFolder(), socket, clock, pump, log, {2020, 1, 0, 1, 0, 0, 0, 0}, own};
    bool running = true;
    std::vector<std::string> requests;
    std::string reply;
};

// A program that may not set the clock.
struct Program : SyncRig<FakeSocket, FakePump, FakeClock> {
    explicit Program(ServiceClient& s) : SyncRig({2020, 1, 0, 1, 0, 0, 0, 0}, &s) {
        clock.setResult = {false, 1314, "privilege"};
    }
    // A Synchronize of the listed line, or of one the service does not list.
    RunOutcome Synchronize(RunBy by = RunBy::User, bool useAddress = false, int32_t offset = 0, bool listed = true) {
        RunRequest r = listed ? Ask("time.example", "127.0.0.2") : Ask("other.example");
        r.useAddress = useAddress, r.offsetMinutes = offset, r.checkOnly = kSetClock, r.by = by;
        return Run(r);
    }
};

TEST(TimeService, AClockTheProgramMayNotSetIsSetByTheServiceFromItsOwnQuery) {
    Service s;
    Program p(s);
    p.socket.servers = {{kReply, ""}};
    s.socket.servers = {{kReply, ""}, {kReply, ""}};
    // Its own query, then the service's, no sooner than the server allows.
    EXPECT_EQ(p.Synchronize().kind, RunOutcome::Kind::SetByService);
    EXPECT_GE(p.took, 4.0);
    EXPECT_EQ(p.Last(), kUpdated);
    EXPECT_EQ(s.requests, (std::vector<std::string>{"veltrano-sync 1\nserver time.example|127.0.0.2\noptions 0 time 0 user\nend\n"}));
    ASSERT_EQ(s.clock.setCalls, (std::vector<SystemTime>{{2020, 8, 0, 15, 5, 40, 23, 0}}));
    ASSERT_EQ(s.log.entries.size(), 1u);
    EXPECT_NE(s.log.entries[0].find("2020-08-15 04:00:00.000 UTC to 2020-08-15 05:40:23.000 UTC"), std::string::npos);
    EXPECT_NE(s.log.entries[0].find("time.example, at the request of alice"), std::string::npos);
    // Later runs know better than to try again themselves, and the same
    // line asked by its address waits its turn all the same.
    const int64_t firstQueryEnded = s.clock.monotonicMs;
    p.Synchronize(RunBy::Automatic, true);
    EXPECT_GE(s.clock.monotonicMs - firstQueryEnded, 3980);
    EXPECT_EQ(p.socket.connectedTo.size(), 1u);
    EXPECT_EQ(s.requests.back(), "veltrano-sync 1\nserver time.example|127.0.0.2\noptions 1 time 0 auto\nend\n");
    EXPECT_EQ(s.socket.connectedTo, (std::vector<std::string>{"time.example", "127.0.0.2"}));

    // What the service's own run says is what the program shows.
    s.clock.setResult = {false, 5, "denied"};
    s.socket.servers = {{kReply, ""}};
    p.Synchronize();
    EXPECT_EQ(p.Last(), " Cannot set the system clock! (An error occurred) 5:denied");
    EXPECT_EQ(s.log.entries.size(), 2u);
}

TEST(TimeService, AProgramThatMayNotSetTheClockSaysWhyWithOrWithoutAService) {
    Service s;
    for (int refused : {0, 1}) {
        Program p(s);
        s.running = refused == 1;
        p.socket.servers = {{kReply, ""}, {kReply, ""}};
        p.Synchronize(RunBy::User, false, 0, !refused);
        EXPECT_EQ(p.Last(), refused ? " The time service refused: not in the service's server list" : kCannotSet);
        EXPECT_EQ(p.run.LastSettingEnded().has_value(), !refused);
        p.clock.monotonicMs += 4000;  // the server's turn
        p.Synchronize(RunBy::User, false, 0, !refused);
        EXPECT_EQ(p.socket.connectedTo.size(), 2u - refused) << "a refusal is not got round by asking the server";
    }
}

// A service that answers what the test gives, or never.
struct Scripted final : ServiceClient {
    Sent Send(std::string_view) override { return Sent::Sent; }
    std::optional<std::string> Reply() override { return reply; }
    void Close() override {}
    std::optional<std::string> reply;
};

TEST(TimeService, TheProgramShowsWhatTheServiceRepliedCountingOnlyASetting) {
    const struct Case {
        std::optional<SyncReply> reply;
        int32_t offset;
        std::string shown;
        size_t ownQueries;  // in two runs
    } cases[] = {
        {SyncReply{Result::Set, "x"}, 0, kUpdated, 1},
        {SyncReply{Result::Set, "x"}, 60, kUpdated + " The time service set the true time, without the offset.", 1},
        {SyncReply{Result::Failed, " Timeout awaiting for a response."}, 0, " Timeout awaiting for a response.", 1},
        {SyncReply{Result::Busy, " busy"}, 60, " busy", 1},
        {SyncReply{Result::Refused, " refused"}, 0, " refused", 1},
        {std::nullopt, 0, " The time service did not answer.", 2},
    };
    for (const Case& c : cases) {
        Scripted s;
        if (c.reply) s.reply = FormatReply(*c.reply);
        Program p(s);
        p.socket.servers = {{kReply, ""}, {kReply, ""}};
        p.Synchronize(RunBy::Automatic, false, c.offset);
        EXPECT_EQ(p.Last(), c.shown);
        EXPECT_EQ(p.run.LastSettingEnded().has_value(), c.reply && c.reply->result == Result::Set) << c.shown;
        p.Synchronize(RunBy::Automatic, false, c.offset);
        EXPECT_EQ(p.socket.connectedTo.size(), c.ownQueries) << c.shown;
    }
}

TEST(TimeService, EveryRunIsHeldToFifteenHoursWhoeverAsks) {
    Service s;
    const std::string timeByName = FormatRequest({"time.example", "127.0.0.2", false, false, 60, false});
    s.socket.servers = {{"\xE2\xE3\x45\x47", ""}, {kReply, ""}};  // a day after kReply, then kReply
    EXPECT_EQ(s.service.Answer(timeByName, "bob"),
              FormatReply({Result::Failed, " Clock not changed automatically - difference is 92423 seconds!"}));
    EXPECT_EQ(ParseReply(s.service.Answer(timeByName, "bob"))->result, Result::Set);
    EXPECT_EQ(s.clock.setCalls, (std::vector<SystemTime>{{2020, 8, 0, 15, 5, 40, 23, 0}}));
}

TEST(TimeService, NoTimeIsTakenFromThisComputer) {
    Service s;
    // Whatever the list says, the address reached decides, before anything is read or sent.
    const std::pair<SyncRequest, std::string> local[] = {
        {{"time.example", "127.0.0.2", true, false, 0}, "127.0.0.2"},  // reached as asked
        {{"ntp.example", "", false, true, 0}, "::ffff:192.0.2.7"},
    };
    for (const auto& [request, reached] : local) {
        s.socket.peerAddress = request.ntp ? reached : "";
        s.socket.servers = {{kReply, ""}};
        EXPECT_EQ(s.service.Answer(FormatRequest(request), "bob"),
                  FormatReply({Result::Refused,
                               " " + reached + " is this computer: the time service takes no time from it"}));
        EXPECT_EQ(s.socket.State(), SocketState::Closed);
    }
    EXPECT_TRUE(s.socket.sent.empty() && s.clock.setCalls.empty());
}

TEST(TimeService, TooManyQueriesInAMinuteMakeItBusy) {
    Service s;
    s.socket.peerAddress.clear();  // each line reaches its own address
    s.socket.servers.assign(12, {kReply, ""});
    for (int i = 0; i < 12; ++i)
        EXPECT_EQ(ParseReply(s.service.Answer(FormatRequest({i % 2 ? "a" : "b", i % 2 ? "192.0.2.1" : "192.0.2.2",
                                                             true, false, 0}), "bob"))->result, Result::Set);
    EXPECT_EQ(s.service.Answer(FormatRequest({"a", "192.0.2.1", true, false, 0}), "bob"),
              FormatReply({Result::Busy, " The time service is busy - try again later."}));
    EXPECT_EQ(s.socket.connectedTo.size(), 12u);
}

}  // namespace
