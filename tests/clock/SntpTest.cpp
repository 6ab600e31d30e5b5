#include <gtest/gtest.h>

#include "clock/Sntp.h"
#include "fakes/FakeClock.h"
#include "fakes/FakeSocket.h"
#include "fakes/SyncRig.h"

namespace {

constexpr NtpTimestamp kSent = 0x0123456789ABCDEF;

// A reply that passes, then spoilt one field at a time.
std::string Reply(uint8_t first = 0x24, uint8_t stratum = 2, NtpTimestamp originate = kSent,
                  NtpTimestamp transmit = 0xE2E1F3C780000000, const char* refId = "GPS", size_t size = 48) {
    std::string r(size, '\0');
    r[0] = static_cast<char>(first), r[1] = static_cast<char>(stratum);
    r.replace(12, 4, std::string(refId).append(4, '\0').substr(0, 4));
    for (int i = 0; i < 8; ++i) {
        r[24 + i] = static_cast<char>(originate >> (56 - 8 * i));
        r[40 + i] = static_cast<char>(transmit >> (56 - 8 * i));
    }
    return r.replace(32, 8, r.substr(40, 8));  // received when sent
}

NtpTimestamp Originate(const std::string& request) {
    NtpTimestamp t = 0;
    for (int i = 40; i < 48; ++i) t = t << 8 | static_cast<uint8_t>(request[i]);
    return t;
}

// A server 1.5 s ahead of the fake clock's 2020-08-15 05:40:23.000 answers in
// 10 ms: the offset is 1.5 s less half of that, 1495 ms.
struct NtpRig : SyncRig<FakeSocket, FakePump, FakeClock> {
    NtpRig() : SyncRig({2020, 1, 0, 1, 0, 0, 0, 0}) {
        socket.answer = [](const std::string& q) { return Reply(0x24, 2, Originate(q), 0xE2E1F3C880000000); };
    }
};
const RunRequest kCheck = Ask("time.example", "127.0.0.2", ServerProtocol::Ntp);

TEST(Sntp, RequestIsVersion4ClientWithOnlyTheTransmitTimestamp) {
    EXPECT_EQ(SntpRequest(kSent), '\x23' + std::string(39, '\0') + "\x01\x23\x45\x67\x89\xAB\xCD\xEF");
}

// Reply() with bytes laid over it at offset at.
std::string Over(std::string r, size_t at, std::string_view bytes) { return r.replace(at, bytes.size(), bytes); }

TEST(Sntp, OnlyAReplyThatEchoesTheRequestCountsAsTimeOrAsAKiss) {
    using O = SntpReply::Outcome;
    const std::pair<std::string, O> cases[] = {
        {Reply(0x1C), O::Valid},                           // version 3
        {Reply(0x14), O::ErrorInData},                     // version 2
        {Reply(0x3C), O::ErrorInData},                     // version 7
        {Over(Reply(), 32, std::string(8, '\0')), O::ErrorInData},  // never received
        {Over(Reply(0x24, 2, kSent, 0x0000000180000000), 32, std::string(8, '\0')), O::ErrorInData},  // nor after 2036
        {Over(Reply(), 39, "\x01"), O::ErrorInData},     // sent 2^-32 s before it was received
        {Over(Reply(), 4, std::string("\x00\x02\x00\x00\x00\x0F\x00\x00", 8)), O::Valid},  // 1 + 15 s: 16 s
        {Over(Reply(), 4, std::string("\x00\x02\x00\x02\x00\x0F\x00\x00", 8)), O::ErrorInData},
        {Over(Reply(), 4, std::string("\xFF\xE0\x00\x00\x00\x0F\x00\x00", 8)), O::ErrorInData},  // -32 s delay
        {Over(Reply(), 8, std::string("\x00\x10\x00\x01", 4)), O::ErrorInData},
        {Reply(), O::Valid},
        {Reply(0x24, 2, kSent, 1, "GPS", 68), O::Valid},  // with a key and digest after the header
        {Reply(0x24, 2, kSent, 1, "GPS", 47), O::ErrorInData},
        {Reply(0x23), O::ErrorInData},                     // client mode
        {Reply(0x24, 2, kSent + 1), O::ErrorInData},       // not our request
        {Reply(0xE4), O::ErrorInData},                     // leap indicator 3: not synchronised
        {Reply(0x24, 16), O::ErrorInData},
        {Reply(0x24, 2, kSent, 0), O::ErrorInData},
        {Reply(0xE4, 0, kSent, 0, "RATE"), O::KissOfDeath},
        {Reply(0xE4, 0, kSent, 0, "RSTR"), O::KissOfDeath},
        {Reply(0xE4, 0, kSent + 1, 0, "DENY"), O::ErrorInData},  // a forged kiss
        {Reply(0xE4, 0, kSent, 0, "INIT"), O::ErrorInData},
    };
    for (const auto& [datagram, outcome] : cases) {
        const SntpReply r = CheckSntpReply(datagram, kSent);
        EXPECT_EQ(r.outcome, outcome) << &datagram - &cases[0].first;
        EXPECT_EQ(r.kissCode.empty(), outcome != O::KissOfDeath);
    }
}

TEST(Sntp, OffsetAndDelayAcrossThe2036Wrap) {
    // Client: 2036-02-07 06:28:15.000 sends, 06:28:15.010 receives. Server:
    // 06:28:16.500 receives and 06:28:16.501 sends, past the wrap.
    SystemTime sent{2036, 2, 0, 7, 6, 28, 15, 0}, received = sent;
    received.wMilliseconds = 10;
    const int64_t t2 = NtpToMicroseconds(0x0000000080000000), t3 = t2 + 1000;
    EXPECT_EQ(t2, (int64_t{1} << 32) * 1'000'000 + 500'000);
    const ClockOffset c = OffsetAndDelay(MicrosecondsSince1900(sent), t2, t3, MicrosecondsSince1900(received));
    EXPECT_EQ(c.offsetUs, 1'495'500);
    EXPECT_EQ(c.delayUs, 9'000);

    SystemTime t{2020, 12, 0, 31, 23, 59, 59, 900};
    AddMilliseconds(t, 150);
    EXPECT_EQ(t, (SystemTime{2021, 1, 0, 1, 0, 0, 0, 50}));
    AddMilliseconds(t, -1'100);
    EXPECT_EQ(t, (SystemTime{2020, 12, 0, 31, 23, 59, 58, 950}));
}

TEST(SyncRun, NtpOffsetIsExactToTheMillisecondWhateverTheWallClockDoes) {
    NtpRig r;
    // The wall clock jumps while the reply is awaited: the monotonic clock times it.
    r.pump.hook = [&] { r.clock.utc.wHour = r.socket.sent.empty() ? 5 : 9; };
    const RunOutcome o = r.Run(kCheck);
    EXPECT_EQ(o.kind, RunOutcome::Kind::Difference);
    EXPECT_EQ(o.seconds, 2);
    ASSERT_TRUE(o.ntp);
    EXPECT_EQ(o.ntp->offsetUs, 1'495'000);
    EXPECT_EQ(o.ntp->delayUs, 10'000);
}

TEST(SyncRun, NtpServerIsAskedAgainAfterFifteenSecondsAtTheEarliest) {
    NtpRig r;
    r.Run(kCheck);
    RunRequest set = kCheck;
    set.checkOnly = kSetClock, set.offsetMinutes = -60;
    const RunOutcome o = r.Run(set);
    EXPECT_GT(r.took, 14.98);  // the first request went 10 ms before the end of its run
    EXPECT_EQ(r.shown[2], " Waiting 15 s before asking time.example again ...");
    EXPECT_EQ(r.clock.setCalls, (std::vector<SystemTime>{{2020, 8, 0, 15, 6, 40, 24, 495}}));
    EXPECT_EQ(o.clockSet->to, r.clock.setCalls[0]);
}

TEST(SyncRun, KissOfDeathStopsEveryLaterQueryOfThatServer) {
    NtpRig r;
    r.socket.answer = [](const std::string& request) { return Reply(0xE4, 0, Originate(request), 0, "RATE"); };
    r.Run(kCheck);
    RunRequest byAddress = kCheck;
    byAddress.useAddress = true;  // nor by its address
    byAddress.checkOnly = kSetClock;
    r.Run(byAddress);
    EXPECT_EQ(r.shown, (std::vector<std::string>{" Getting Time from time.example ...",
                                                  " time.example asked not to be queried any more (RATE)",
                                                  " 127.0.0.2 asked not to be queried any more (RATE)"}));
    EXPECT_EQ(r.socket.sent.size(), 1u);
}

// Datagrams that do not echo our request (the first a kiss) are dropped, up to
// the sixteenth read, which ends the run; the server's own reply still decides.
TEST(SyncRun, ForgedDatagramsCannotEndAnNtpRun) {
    using K = RunOutcome::Kind;
    const std::string forgedKiss = Reply(0xE4, 0, kSent, 0, "RATE");
    const std::tuple<size_t, bool, K> cases[] = {{15, true, K::Difference}, {16, true, K::ErrorInData},
                                                 {1, false, K::Timeout}};
    for (const auto& [forged, answered, kind] : cases) {
        NtpRig r;
        r.socket.servers = {FakeSocket::Script(forged, Reply())};
        r.socket.servers[0].front() = forgedKiss;
        if (!answered) r.socket.answer = nullptr;
        EXPECT_EQ(r.Run(kCheck).kind, kind) << forged;
    }
}

}  // namespace
