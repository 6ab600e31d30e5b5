#include "mainwindow/SyncPanel.h"

#include "clock/StatusText.h"

std::optional<RunOutcome> SyncPanel::SyncTime(bool checkOnly, RunBy by) {
    if (run_.InProgress()) return std::nullopt;
    controls_.cmdCheckTime.SetEnabled(false);
    controls_.cmdSynchronize.SetEnabled(false);
    RunOutcome outcome;  // nothing chosen
    if (const int16_t index = controls_.cmbServer.ListIndex(); index >= 0) {
        RunRequest request;
        // An index beyond the table is a line without data.
        if (static_cast<size_t>(index) < servers_.size()) {
            const ServerEntry& entry = servers_[index];
            request.host = entry.Host, request.address = entry.Address, request.protocol = servers_.Protocol(index);
        }
        request.useAddress = controls_.chkUseIP.Value() == 1;
        request.offsetMinutes = offsetMinutes_;
        request.checkOnly = checkOnly;
        request.by = by;
        outcome = *run_.Run(request, [this](const RunProgress& p) { controls_.lblInfo.SetText(ProgressText(p)); });
    }
    if (outcome.kind != RunOutcome::Kind::Abandoned) controls_.lblInfo.SetText(StatusText(outcome, clock_));
    controls_.cmdCheckTime.SetEnabled(true);
    controls_.cmdSynchronize.SetEnabled(true);
    return outcome;
}
