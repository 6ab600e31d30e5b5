#include <gtest/gtest.h>

#include <fstream>

#include "fakes/FakeClock.h"
#include "fakes/FakeSocket.h"
#include "fakes/SyncRig.h"
#include "service/SyncRequest.h"
#include "service/TimeService.h"

namespace {

const std::string kReply("\xE2\xE1\xF3\xC7", 4);  // 2020-08-15 05:40:23 UTC
const std::string kCannotSet = " Cannot set the system clock! (An error occurred) 1314:privilege";

struct Log final : EventLog {
    void Report(const std::string& text) override { entries.push_back(text); }
    std::vector<std::string> entries;
};

// The service in this process, over fakes of its own, on the far end of a
// pipe that hands each request straight to it.
struct Service final : ServiceClient {
    Service() {
        std::ofstream(testing::TempDir() + "ntp_servers.txt") << "time.example|127.0.0.2|listed\r\n";
        socket.SetEvents(&service.Events());
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
    TimeService service{testing::TempDir(), socket, clock, pump, log, {2020, 1, 0, 1, 0, 0, 0, 0}};
    bool running = true;
    std::vector<std::string> requests;
    std::string reply;
};

struct Program : SyncRig<FakeSocket, FakePump, FakeClock> {
    explicit Program(Service& s)
        : SyncRig({{"time.example", "127.0.0.2", "listed"}, {"other.example", "", "not the service's"}},
                  {2020, 1, 0, 1, 0, 0, 0, 0}, &s) {
        clock.setResult = {false, 1314, "privilege"};
    }
};

TEST(TimeService, AClockTheProgramMayNotSetIsSetByTheServiceFromItsOwnQuery) {
    Service s;
    Program p(s);
    p.socket.servers = {{kReply, ""}};
    s.socket.servers = {{kReply, ""}, {kReply, ""}};
    // Its own query, then the service's, no sooner than the server allows.
    EXPECT_GE(p.Synchronize(), 4.0);
    EXPECT_EQ(p.lblInfo.Text(), " Time updated succesfully!  ( at 7:40:23 AM )");
    EXPECT_EQ(s.requests, (std::vector<std::string>{"veltrano-sync 1\nserver time.example|127.0.0.2\noptions 0 time 0 user\nend\n"}));
    ASSERT_EQ(s.clock.setCalls, (std::vector<SystemTime>{{2020, 8, 0, 15, 5, 40, 23, 0}}));
    ASSERT_EQ(s.log.entries.size(), 1u);
    EXPECT_NE(s.log.entries[0].find("2020-08-15 04:00:00.000 UTC to 2020-08-15 05:40:23.000 UTC"), std::string::npos);
    EXPECT_NE(s.log.entries[0].find("time.example, at the request of alice"), std::string::npos);
    // Later runs know better than to try again themselves.
    p.chkUseIP.value = 1;
    p.Synchronize(RunBy::Automatic);
    EXPECT_EQ(p.socket.connectedTo.size(), 1u);
    EXPECT_EQ(s.requests.back(), "veltrano-sync 1\nserver time.example|127.0.0.2\noptions 1 time 0 auto\nend\n");
    EXPECT_EQ(s.socket.connectedTo, (std::vector<std::string>{"time.example", "127.0.0.2"}));

    // What the service's own run says is what the program shows.
    s.clock.setResult = {false, 5, "denied"};
    s.socket.servers = {{kReply, ""}};
    p.Synchronize();
    EXPECT_EQ(p.lblInfo.Text(), " Cannot set the system clock! (An error occurred) 5:denied");
    EXPECT_EQ(s.log.entries.size(), 2u);
}

TEST(TimeService, WhatTheServiceRefusesOrNoServiceLeavesTheMessageAsItWas) {
    Service s;
    for (int refused : {0, 1}) {
        Program p(s);
        p.cmbServer.index = static_cast<int16_t>(refused);
        s.running = refused == 1;
        p.socket.servers = {{kReply, ""}};
        p.Synchronize();
        EXPECT_EQ(p.lblInfo.Text(), kCannotSet);
        EXPECT_TRUE(!refused || ParseReply(s.reply)->result == SyncReply::Result::Refused);
    }
    for (const std::string& request : {std::string("veltrano-sync 1\n"),
                                       FormatRequest({"time.example", "127.0.0.2", false, false, 45})})
        EXPECT_EQ(ParseReply(s.service.Answer(request, "mallory"))->result, SyncReply::Result::Refused);
    EXPECT_TRUE(s.clock.setCalls.empty() && s.socket.connectedTo.empty());
}

}  // namespace
