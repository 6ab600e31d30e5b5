#pragma once
#include <string>
#include <type_traits>
#include <vector>

#include "clock/StatusText.h"
#include "clock/SyncRun.h"

// A request as the window makes one for a line of its list.
inline RunRequest Ask(std::string host, std::string address = {}, ServerProtocol protocol = ServerProtocol::Time,
                      bool checkOnly = kCheckOnly, RunBy by = RunBy::User) {
    return {std::move(host), std::move(address), protocol, false, 0, checkOnly, by};
}

// The run over the fakes (FakeSocket, FakePump, FakeClock) or the real thing
// (Win32Socket, Win32EventPump, Win32SystemClock), with every text the status
// line would show, in order.
template <class Socket, class Pump, class Clock>
struct SyncRig {
    Socket socket;
    Pump pump = MakePump();
    Clock clock;
    bool stop = false;
    std::vector<std::string> shown;
    double took = 0;  // seconds, the last run
    SyncRun run;

    explicit SyncRig(SystemTime builtOn = {}, ServiceClient* service = nullptr, CorrectionConfirm* confirm = nullptr,
                     QueryPacer::Limits limits = {}, TlsClient* tls = nullptr)
        : run({socket, clock, pump, stop, builtOn, limits, confirm, service, nullptr, tls}) {
        socket.SetEvents(&run);
    }
    RunOutcome Run(const RunRequest& request) {
        const double t0 = clock.MonotonicSeconds();
        const auto outcome = run.Run(request, [this](const RunProgress& p) { shown.push_back(ProgressText(p)); });
        took = clock.MonotonicSeconds() - t0;
        shown.push_back(outcome ? StatusText(*outcome, clock) : "(in progress)");
        return outcome.value_or(RunOutcome{RunOutcome::Kind::Abandoned});
    }
    const std::string& Last() const { return shown.back(); }

private:
    // A fake pump delivers the fake socket's events.
    Pump MakePump() {
        if constexpr (std::is_constructible_v<Pump, Socket&>) return Pump(socket);
        else return Pump();
    }
};
