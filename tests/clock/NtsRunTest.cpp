#include <gtest/gtest.h>

#include "clock/NtsRecords.h"
#include "fakes/FakeClock.h"
#include "fakes/FakeSocket.h"
#include "fakes/SyncRig.h"

namespace {

using namespace std::string_literals;
using K = RunOutcome::Kind;
const std::string kC2s(32, '\1'), kS2c(32, '\2');

// A key exchange that ends as the test says, at its first poll.
struct FakeTls final : TlsClient {
    void Start(TlsRequest r) override { requests.push_back(std::move(r)); }
    std::optional<TlsResult> Result() override { return result; }
    void Cancel() override {}
    std::vector<TlsRequest> requests;
    TlsResult result{std::nullopt, WriteNtsKeRecords({{true, 1, "\0\0"s}, {false, 4, "\0\x0f"s}, {false, 5, "c1"},
                                                      {false, 5, "c2"}, {true, 0, ""}}),
                     {kC2s, kS2c}};
};

// The server 1.5 s ahead answers with the request's identifier under the
// server-to-client key, or as spoil() leaves its reply.
struct NtsRig : SyncRig<FakeSocket, FakePump, FakeClock> {
    std::function<std::string(std::string)> spoil = [](std::string r) { return r; };
    // Unpaced: the runs follow each other at once.
    NtsRig() : SyncRig({2020, 1, 0, 1, 0, 0, 0, 0}, nullptr, nullptr, {0, 0}, &tls) {
        socket.answer = [this](const std::string& q) {
            std::string head(48, '\0');
            head[0] = '\x24', head[1] = 2, head.replace(12, 3, "GPS");
            head.replace(24, 8, q.substr(40, 8));
            for (size_t at : {32, 40}) head.replace(at, 8, "\xE2\xE1\xF3\xC8\x80\0\0\0"s);
            AesSivKey s2c;
            std::ranges::copy(kS2c, s2c.begin());
            return spoil(NtsAuthenticate(head + q.substr(48, 36), s2c, std::string(16, 'n'),
                                         NtpExtensionField(kNtsCookie, "c3")));
        };
    }
    RunOutcome Synchronize() { return Run(Ask("nts.example", "", ServerProtocol::Nts, kSetClock)); }
    FakeTls tls;  // used only once a run starts
};

TEST(NtsRun, KeyExchangeOnceThenEachQueryWithACookieAndOnlyAnAuthenticReplyCounts) {
    NtsRig r;
    const RunOutcome first = r.Synchronize();
    EXPECT_EQ(first.kind, K::Set) << r.Last();
    EXPECT_EQ(r.clock.setCalls, (std::vector<SystemTime>{{2020, 8, 0, 15, 5, 40, 24, 495}}));
    ASSERT_EQ(r.tls.requests.size(), 1u);
    EXPECT_EQ(r.tls.requests[0].name, "nts.example");
    EXPECT_EQ(r.tls.requests[0].port, 4460);
    r.Synchronize();
    EXPECT_EQ(r.tls.requests.size(), 1u) << "cookies left: no second key exchange";
    ASSERT_EQ(r.socket.sent.size(), 2u);
    EXPECT_NE(r.socket.sent[0].find("c1"), std::string::npos);
    EXPECT_NE(r.socket.sent[1].find("c2"), std::string::npos);
    // A NAK empties the jar, cookies left or not: the next run starts with a new key exchange.
    r.spoil = [](std::string reply) { return reply.replace(1, 1, "\0"s).replace(12, 4, "NTSN").substr(0, 84); };
    EXPECT_EQ(r.Synchronize().kind, K::NtsNak);
    r.spoil = [](std::string reply) { return reply; };
    EXPECT_EQ(r.Synchronize().kind, K::Set);
    EXPECT_EQ(r.tls.requests.size(), 2u);
    // Every reply that a forger could make is waited past, and named at the end.
    r.spoil = [](std::string reply) { return reply.back() ^= 1, reply; };
    EXPECT_EQ(r.Synchronize().kind, K::NtsUnauthenticated);
    EXPECT_EQ(r.clock.setCalls.size(), 3u);
}

TEST(NtsRun, NoTimeFromAKeyExchangeThatFailed) {
    using F = TlsFailure::Kind;
    const std::pair<TlsResult, std::string> cases[] = {
        {{TlsFailure{F::Untrusted}}, " The certificate of nts.example is not from an authority this computer trusts"},
        {{TlsFailure{F::OtherName}}, " The certificate of nts.example is for another server - no time taken"},
        {{TlsFailure{F::Dates}}, " The certificate of nts.example is not valid at this PC's date 2020-08-15 - set "
                                 "the clock from another server or by hand"},
        {{TlsFailure{F::NoAlpn}}, " nts.example does not offer an NTS key exchange"},
        {{TlsFailure{F::Handshake, -0x7780, "fatal alert"}},
         " The secure connection failed! (An error occurred) -30592:fatal alert"},
        {{std::nullopt, WriteNtsKeRecords({{true, 2, "\0\1"s}, {true, 0, ""}}), {kC2s, kS2c}},
         " The NTS key exchange with nts.example failed: it reported error 1"},
        {{std::nullopt, FakeTls().result.answer, {kC2s}},
         " The NTS key exchange with nts.example failed: no keys could be taken from the session"},
    };
    for (const auto& [result, text] : cases) {
        NtsRig r;
        r.tls.result = result;
        r.Synchronize();
        EXPECT_EQ(r.Last().substr(0, text.size()), text);
        EXPECT_TRUE(r.socket.sent.empty() && r.clock.setCalls.empty());
    }
}

TEST(NtsRun, OnlyAuthenticatedTimeAPersonAskedForMayGoBeyondTheAutomaticLimit) {
    for (bool nts : {true, false}) {
        NtsRig r;
        r.clock.utc.wDay = 13;  // two days behind
        RunRequest request = Ask("nts.example", "", nts ? ServerProtocol::Nts : ServerProtocol::Ntp, kSetClock,
                                 RunBy::Automatic);
        request.authenticatedMayGoFar = true;
        EXPECT_EQ(r.Run(request).kind, nts ? K::Set : K::TooFarAutomatic);
    }
}

}  // namespace
