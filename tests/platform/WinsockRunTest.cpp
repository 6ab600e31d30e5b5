// Runs against real Winsock and the loopback servers that scripts/test.sh
// starts (see LoopbackPlan.h).
#include <winsock2.h>
#include <windows.h>
#include <psapi.h>
#include <ws2tcpip.h>

#include <gtest/gtest.h>

#include "LoopbackPlan.h"
#include "clock/SyncRun.h"
#include "fakes/FakeControls.h"
#include "platform/EventPump_win.h"
#include "platform/Socket_win.h"
#include "platform/SystemClock_win.h"

namespace {

struct RealRig {
    FakeLabel lblInfo;
    FakeButton cmdCheckTime, cmdSynchronize;
    FakeChooser cmbServer;
    FakeCheck chkUseIP;
    ServerTable table;
    int32_t offsetMinutes = 0;
    bool windowsClosing = false;
    Win32Socket socket;
    Win32EventPump pump;
    Win32SystemClock clock;
    SyncRun run{{lblInfo, cmdCheckTime, cmdSynchronize, cmbServer, chkUseIP},
                {table, offsetMinutes, windowsClosing, {}},
                socket,
                clock,
                pump};

    explicit RealRig(const std::string& host) {
        table.push_back({host, "", "test"});
        cmbServer.index = 0;
        socket.SetEvents(&run);
    }
    // Seconds the run took.
    double Check() {
        const double t0 = clock.MonotonicSeconds();
        run.SyncTime(kCheckOnly, kRetry);
        return clock.MonotonicSeconds() - t0;
    }
};

std::string Prefix(const std::string& s, size_t n) { return s.substr(0, n); }

TEST(WinsockRun, LiveServerAgreesWithThisClock) {
    for (const char* host : {loopback::kTimeService, loopback::kIpv6Time, "localhost"}) {
        RealRig r(host);
        r.Check();
        EXPECT_EQ(r.lblInfo.Text(), " Local time is OK") << host;
        EXPECT_EQ(r.lblInfo.history.front(), std::string(" Getting Time from ") + host + " ...");
        EXPECT_EQ(r.socket.State(), SocketState::Closed);
    }
}

TEST(WinsockRun, UnreachableFirstAddressLeavesTheNextOneTime) {
    addrinfo* list = nullptr;
    if (getaddrinfo(loopback::kBlackHoledFirst, "37", nullptr, &list) != 0) GTEST_SKIP() << "no test hosts file";
    freeaddrinfo(list);
    RealRig r(loopback::kBlackHoledFirst);
    const double took = r.Check();
    EXPECT_EQ(r.lblInfo.Text(), " Local time is OK");
    EXPECT_GT(took, Win32Socket::kAttemptTimeoutMs / 1000.0);
    EXPECT_LT(took, 4.0);
}

TEST(WinsockRun, WineRefusesToJumpTheClock) {
    RealRig r(loopback::kTimeService);
    r.offsetMinutes = 30;
    r.run.SyncTime(kSetClock, kFirstQuery);
    // Wine's wording of 1314 differs from Windows'; the number is what matters.
    const std::string expected = " Cannot set the system clock! (An error occurred) 1314:";
    EXPECT_EQ(Prefix(r.lblInfo.Text(), expected.size()), expected);
    EXPECT_GT(r.lblInfo.Text().size(), expected.size()) << "the system's description follows";
    EXPECT_TRUE(r.run.LastSyncTimer());
}

TEST(WinsockRun, ConnectionFailuresAreReportedThenNoResponse) {
    struct Case {
        std::string host;
        std::string error;
    } cases[] = {
        {loopback::kNobody, "An error occurred: 10061:"},
        {"no-such-host.invalid", "An error occurred: 11001:"},
    };
    for (const auto& c : cases) {
        RealRig r(c.host);
        r.Check();
        ASSERT_EQ(r.lblInfo.history.size(), 3u) << c.host;
        EXPECT_EQ(Prefix(r.lblInfo.history[1], c.error.size()), c.error);
        EXPECT_GT(r.lblInfo.history[1].size(), c.error.size()) << "the system's description follows";
        EXPECT_EQ(r.lblInfo.history[2], " No response received from NTP server.");
    }
}

TEST(WinsockRun, ServersThatKeepTheConnectionTimeOut) {
    for (const char* host : {loopback::kSilent, loopback::kHold}) {
        RealRig r(host);
        const double took = r.Check();
        EXPECT_EQ(r.lblInfo.Text(), " Timeout awaiting for a response.") << host;
        EXPECT_GT(took, 8.0);
        EXPECT_LT(took, 9.5);
        EXPECT_EQ(r.socket.State(), SocketState::Closed);
    }
}

TEST(WinsockRun, OddlyShapedRepliesDecideAsTheirTrimmedText) {
    struct Case {
        const char* host;
        const char* message;
    } cases[] = {
        {loopback::kDrip, " Local time is OK"},
        {loopback::kSpaced, " Local time is OK"},
        {loopback::kFive, " Error in data received from NTP server, try again"},
    };
    for (const auto& c : cases) {
        RealRig r(c.host);
        r.Check();
        EXPECT_EQ(r.lblInfo.Text(), c.message) << c.host;
    }
}

TEST(WinsockRun, FloodKeepsMemoryBounded) {
    PROCESS_MEMORY_COUNTERS before{}, after{};
    GetProcessMemoryInfo(GetCurrentProcess(), &before, sizeof before);
    RealRig r(loopback::kFlood);
    r.Check();
    GetProcessMemoryInfo(GetCurrentProcess(), &after, sizeof after);
    EXPECT_EQ(r.lblInfo.Text(), " Error in data received from NTP server, try again");
    // The server sends 64 MiB; the run may hold a read buffer, not the reply.
    EXPECT_LT(after.PeakWorkingSetSize - before.PeakWorkingSetSize, 8u << 20);
}

// The window keeps handling its messages while a run waits.
TEST(WinsockRun, WindowStaysResponsiveDuringTheWait) {
    static int ticks = 0;
    ticks = 0;
    HWND w = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_TRUE(w);
    SetTimer(w, 1, 50, [](HWND, UINT, UINT_PTR, DWORD) { ++ticks; });
    RealRig r(loopback::kSilent);
    const double took = r.Check();
    KillTimer(w, 1);
    DestroyWindow(w);
    EXPECT_GT(ticks, static_cast<int>(took * 1000 / 50 / 2));
}

}  // namespace
