// time_query HOST [RUNS] [nts]: one check against HOST per run, printing the
// server's time as seconds since 1970 and how long each run took. Used to
// compare with rdate and to time runs. With nts, HOST is asked by NTS, and
// each run's offset and time are printed: the first makes the key exchange.
#include <winsock2.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "platform/EventPump_win.h"
#include "platform/Socket_win.h"
#include "platform/SystemClock_win.h"
#include "platform/TlsClient_win.h"
#include "tests/fakes/SyncRig.h"

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 1;
    const bool nts = argc > 3 && std::string_view(argv[3]) == "nts";
    Win32TlsClient tls;
    // Unpaced: this measures the runs, not the server's turns.
    SyncRig<Win32Socket, Win32EventPump, Win32SystemClock> r({}, nullptr, nullptr, {0, 0}, &tls);

    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        const RunOutcome o = r.Run(Ask(argv[1], "", nts ? ServerProtocol::Nts : ServerProtocol::Time));
        const auto& t = o.serverTime;
        ms.push_back(r.took * 1000);
        if (nts && o.ntp)
            std::printf("run %d offset_ms %.3f took_ms %.1f\n", i + 1, o.ntp->offsetUs / 1000.0, ms.back());
        if (!t) {
            std::printf("failed: %s\n", r.Last().c_str());
            return 1;
        }
        if (i == 0) {
            // Days from 1970 by the civil calendar, worked independently of the run's own code.
            const int y = t->wYear - (t->wMonth <= 2), era = y / 400, yoe = y - era * 400;
            const int doy = (153 * (t->wMonth + (t->wMonth > 2 ? -3 : 9)) + 2) / 5 + t->wDay - 1;
            const long long days = era * 146097LL + yoe * 365 + yoe / 4 - yoe / 100 + doy - 719468;
            std::printf("epoch %lld\n", days * 86400 + t->wHour * 3600 + t->wMinute * 60 + t->wSecond);
        }
    }
    std::sort(ms.begin(), ms.end());
    std::printf("runs %d median_ms %.3f\n", runs, ms[ms.size() / 2]);
    return 0;
}
