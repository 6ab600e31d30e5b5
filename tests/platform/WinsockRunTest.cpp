// Runs against real Winsock and the loopback servers that scripts/test.sh
// starts (see LoopbackPlan.h).
#include <winsock2.h>
#include <windows.h>
#include <psapi.h>
#include <ws2tcpip.h>

#include <gtest/gtest.h>

#include "LoopbackPlan.h"
#include "fakes/SyncRig.h"
#include "platform/EventPump_win.h"
#include "platform/Socket_win.h"
#include "platform/SystemClock_win.h"

namespace {

using RealRig = SyncRig<Win32Socket, Win32EventPump, Win32SystemClock>;

// Each server's last word, the error reported before it if any (with the
// system's description after the number), and how long the run may take.
// While a run waits the window keeps handling its messages, and no reply is
// held whole: the flood sends 64 MiB.
TEST(WinsockRun, EachServerEndsWithItsMessageInTimeWhileTheWindowRuns) {
    addrinfo* list = nullptr;
    const bool hostsFile = getaddrinfo(loopback::kBlackHoledFirst, "37", nullptr, &list) == 0;
    if (hostsFile) freeaddrinfo(list);
    const double attempt = hostsFile ? Win32Socket::kAttemptTimeoutMs / 1000.0 : 0;
    const std::string ok = " Local time is OK", noResponse = " No response received from NTP server.";
    struct Case {
        std::string host, error, last;
        double minSeconds = 0, maxSeconds = 2;
    } cases[] = {
        {loopback::kTimeService, "", ok},
        {loopback::kIpv6Time, "", ok},
        // The first address never answers: the next one gets its time.
        {hostsFile ? loopback::kBlackHoledFirst : "localhost", "", ok, attempt, 4},
        {loopback::kNobody, "An error occurred: 10061:", noResponse},
        {"no-such-host.invalid", "An error occurred: 11001:", noResponse},
        {loopback::kBlackHole, "", " Timeout awaiting for a response.", 8, 9.5},  // alone: the run's own time-out
        {loopback::kFlood, "", " Error in data received from NTP server, try again", 0, 9.5},
    };
    static int ticks = 0;
    HWND w = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    SetTimer(w, 1, 50, [](HWND, UINT, UINT_PTR, DWORD) { ++ticks; });
    for (const auto& c : cases) {
        SCOPED_TRACE(c.host);
        PROCESS_MEMORY_COUNTERS before{}, after{};
        GetProcessMemoryInfo(GetCurrentProcess(), &before, sizeof before);
        ticks = 0;
        RealRig r({{c.host, "", "test"}});
        const double took = r.Check();
        GetProcessMemoryInfo(GetCurrentProcess(), &after, sizeof after);
        EXPECT_EQ(r.lblInfo.Text(), c.last);
        if (!c.error.empty()) {
            ASSERT_EQ(r.lblInfo.history.size(), 3u);
            EXPECT_TRUE(r.lblInfo.history[1].rfind(c.error, 0) == 0 && r.lblInfo.history[1].size() > c.error.size())
                << r.lblInfo.history[1];
        }
        EXPECT_GE(took, c.minSeconds);
        EXPECT_LT(took, c.maxSeconds);
        EXPECT_GE(ticks, c.minSeconds > 0 ? int(took * 1000 / 50 / 2) : 0) << "a wait starves the window";
        EXPECT_EQ(r.socket.State(), SocketState::Closed);
        EXPECT_LT(after.PeakWorkingSetSize - before.PeakWorkingSetSize, 8u << 20);
    }
    DestroyWindow(w);
}

}  // namespace
