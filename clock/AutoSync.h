#pragma once
#include <cstdint>
#include <optional>

#include "clock/SyncRun.h"
#include "platform/Controls.h"
#include "platform/SystemClock.h"

// Starts a run the way the window does: from its controls, with its status
// line and buttons.
class SyncStarter {
public:
    virtual ~SyncStarter() = default;
    // Empty, doing nothing, while another run is in progress.
    virtual std::optional<RunOutcome> SyncTime(bool checkOnly, RunBy by) = 0;
};

struct AutoSyncControls {
    TextTarget& lblTime;
    const CheckValue& chkAuto;
    const TextTarget& txtInterval;
};

// The clock display and the automatic synchronisation, both driven by the
// main window's timer: every 50 ms while the clock shows, once a second while
// the window is hidden, which still starts an automatic run on time to the
// second and lets a laptop's processor sleep.
class AutoSync {
public:
    static constexpr uint32_t kTimerMilliseconds = 50;
    static constexpr uint32_t kHiddenTimerMilliseconds = 1000;
    // Used when the interval text gives less than one minute.
    static constexpr int32_t kFallbackMinutes = 15;
    // After an automatic run that did not set the clock. Far below any
    // interval a user picks, far above what a failing server should see.
    // A run that refused the server's time waits the whole interval: a
    // server that is wrong stays wrong.
    static constexpr double kPauseAfterFailureSeconds = 60.0;

    // run is the one that window's runs go through.
    AutoSync(AutoSyncControls controls, const SyncRun& run, SyncStarter& window, const SystemClock& clock);

    void TimerTime_Timer();
    void ShowTime();
    void CheckAutoSync();
    // An automatic run right now. Start-up's run when chkAuto is checked goes
    // through here, so that its failure too defers the next attempt.
    void RunAutomatic();

private:
    // Since the monotonic seconds at; true when there is none.
    bool IntervalPassed(std::optional<double> at) const;

    AutoSyncControls controls_;
    const SyncRun& run_;
    SyncStarter& window_;
    const SystemClock& clock_;
    // Monotonic seconds at the end of the last automatic run that did not
    // set the clock, until a run sets it, and whether that run refused.
    std::optional<double> failedAt_;
    bool refused_ = false;
};
