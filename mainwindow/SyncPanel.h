#pragma once
#include <cstdint>
#include <optional>

#include "clock/AutoSync.h"
#include "clock/SyncRun.h"
#include "platform/Controls.h"
#include "serverlist/ServerEntry.h"

// The controls of the main window that its runs read and write.
struct SyncControls {
    TextTarget& lblInfo;
    EnabledTarget& cmdCheckTime;
    EnabledTarget& cmdSynchronize;
    const ChooserIndex& cmbServer;
    const CheckValue& chkUseIP;
};

// The window's side of every run, a click's or an automatic one: the request
// from its controls, the run's progress and end on its status line, and its
// two run buttons off meanwhile, so that nothing starts a second run.
class SyncPanel final : public SyncStarter {
public:
    // servers and offsetMinutes are the window's, read at each run.
    SyncPanel(SyncControls controls, const ServerTable& servers, const int32_t& offsetMinutes, SyncRun& run,
              const SystemClock& clock)
        : controls_(controls), servers_(servers), offsetMinutes_(offsetMinutes), run_(run), clock_(clock) {}

    std::optional<RunOutcome> SyncTime(bool checkOnly, RunBy by) override;

private:
    SyncControls controls_;
    const ServerTable& servers_;
    const int32_t& offsetMinutes_;
    SyncRun& run_;
    const SystemClock& clock_;
};
