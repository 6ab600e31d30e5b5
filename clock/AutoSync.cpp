#include "clock/AutoSync.h"

#include <cmath>
#include <limits>

#include "settings/Conversions.h"

namespace {

double RoundHalfEven(double x) {
    const double down = std::floor(x);
    const double fraction = x - down;
    if (fraction < 0.5) return down;
    if (fraction > 0.5) return down + 1;
    return std::fmod(down, 2.0) == 0 ? down : down + 1;
}

}  // namespace

AutoSync::AutoSync(AutoSyncControls controls, const SyncRun& run, SyncStarter& window, const SystemClock& clock)
    : controls_(controls), run_(run), window_(window), clock_(clock) {}

void AutoSync::TimerTime_Timer() {
    ShowTime();
    CheckAutoSync();
}

void AutoSync::ShowTime() { controls_.lblTime.SetText(clock_.RegionalTimeText()); }

void AutoSync::CheckAutoSync() {
    if (controls_.chkAuto.Value() == 0) return;
    // A tick while a run waits for its server: the run in progress is the
    // one that would be started.
    if (run_.InProgress()) return;
    // Due at once while nothing has set the clock since the program started.
    if (!IntervalPassed(run_.LastSettingEnded())) return;
    if (refused_ ? !IntervalPassed(failedAt_)
                 : failedAt_ && clock_.MonotonicSeconds() - *failedAt_ < kPauseAfterFailureSeconds)
        return;
    RunAutomatic();
}

bool AutoSync::IntervalPassed(std::optional<double> at) const {
    if (!at) return true;

    int32_t minutes = ToLong(controls_.txtInterval.Text());
    if (minutes < 1) minutes = kFallbackMinutes;
    // An interval whose seconds leave 32 bits is compared in minutes, as it
    // always was; either way it is decades.
    int64_t seconds = int64_t{minutes} * 60;
    if (seconds > std::numeric_limits<int32_t>::max()) seconds = minutes;

    const double elapsed = RoundHalfEven(std::fabs(clock_.MonotonicSeconds() - *at));
    return elapsed > static_cast<double>(seconds);
}

void AutoSync::RunAutomatic() {
    const std::optional<double> before = run_.LastSettingEnded();
    const std::optional<RunOutcome> outcome = window_.SyncTime(kSetClock, RunBy::Automatic);
    if (run_.LastSettingEnded() != before) {
        failedAt_.reset(), refused_ = false;
    } else if (outcome) {
        failedAt_ = clock_.MonotonicSeconds(), refused_ = outcome->RefusedCorrection();
    }
}
