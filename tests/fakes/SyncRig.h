#pragma once
#include <type_traits>

#include "FakeControls.h"
#include "clock/SyncRun.h"

// One synchronisation run with the window's controls faked, over the fakes
// (FakeSocket, FakePump, FakeClock) or the real thing (Win32Socket,
// Win32EventPump, Win32SystemClock).
template <class Socket, class Pump, class Clock>
struct SyncRig {
    FakeLabel lblInfo;
    FakeButton cmdCheckTime, cmdSynchronize;
    FakeList cmbServer;
    FakeCheckBox chkUseIP;
    ServerTable table;
    int32_t offsetMinutes = 0;
    bool windowsClosing = false;
    Socket socket;
    Pump pump = MakePump();
    Clock clock;
    SyncRun run;

    explicit SyncRig(ServerTable servers, SystemTime builtOn = {}, ServiceClient* service = nullptr,
                     CorrectionConfirm* confirm = nullptr)
        : table(std::move(servers)), run({lblInfo, cmdCheckTime, cmdSynchronize, cmbServer, chkUseIP},
                                         {table, offsetMinutes, windowsClosing, builtOn, confirm}, socket, clock, pump,
                                         service) {
        socket.SetEvents(&run);
        cmbServer.index = 0;
    }
    // Each returns the seconds the run took.
    double Check(bool isRetry = kFirstQuery) { return Timed(kCheckOnly, isRetry, RunBy::User); }
    double Synchronize(RunBy by = RunBy::User) { return Timed(kSetClock, kFirstQuery, by); }
    bool ButtonsEnabled() const { return cmdCheckTime.enabled && cmdSynchronize.enabled; }

private:
    // A fake pump delivers the fake socket's events.
    Pump MakePump() {
        if constexpr (std::is_constructible_v<Pump, Socket&>) return Pump(socket);
        else return Pump();
    }
    double Timed(bool checkOnly, bool isRetry, RunBy by) {
        const double t0 = clock.MonotonicSeconds();
        return run.SyncTime(checkOnly, isRetry, by), clock.MonotonicSeconds() - t0;
    }
};
