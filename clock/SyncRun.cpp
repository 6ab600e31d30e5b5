#include "clock/SyncRun.h"

#include <cmath>
#include <cstdlib>
#include <string>

namespace {

constexpr int32_t kOverflowNumber = 6;
const char* const kOverflowDescription = "Overflow";
const char* const kCannotGetTime = " Cannot get time from server! (An error occurred) ";

std::string ErrorText(const char* prefix, int64_t number, const std::string& description) {
    return prefix + std::to_string(number) + ":" + description;
}

}  // namespace

SyncRun::SyncRun(SyncControls controls, SyncShared shared, TcpClient& winsock1, SystemClock& clock,
                 EventPump& events)
    : controls_(controls), shared_(shared), winsock1_(winsock1), clock_(clock), events_(events) {}

void SyncRun::SyncTime(bool CheckOnly, bool IsRetry, RunBy by) {
    // A timer tick or a window handler may call in while a run waits; a
    // nested run would steal the first run's connection and reply.
    if (inProgress_) return;
    inProgress_ = true;
    Run(CheckOnly, IsRetry, by);
    inProgress_ = false;
}

void SyncRun::Run(bool checkOnly, bool isRetry, RunBy by) {
    controls_.cmdCheckTime.SetEnabled(false);
    controls_.cmdSynchronize.SetEnabled(false);

    // Every ending passes through Finish, error path included.
    const std::optional<std::string> server = ChooseServer();
    if (!server) return Finish();
    const std::optional<double> queryStarted = StartQuery(*server);
    if (!queryStarted || !AwaitReply()) return Finish();
    const std::optional<SystemTime> serverTime = ServerTimeFromReply();
    if (!serverTime) return Finish();
    const SystemTime systemTime = clock_.GetSystemTime();

    if (!checkOnly) {
        SetClock(*serverTime, systemTime, by);
    } else if (!ReportCheck(*serverTime, systemTime, isRetry)) {
        PauseBeforeFurtherCheck(*queryStarted);
        Run(kCheckOnly, kRetry, by);
    }
    Finish();
}

// A connection left open would keep a server's reply coming into the next run.
void SyncRun::Finish() {
    if (winsock1_.State() != SocketState::Closed) winsock1_.Close();
    controls_.cmdCheckTime.SetEnabled(true);
    controls_.cmdSynchronize.SetEnabled(true);
}

std::optional<std::string> SyncRun::ChooseServer() {
    const int16_t index = controls_.cmbServer.ListIndex();
    if (index < 0) {
        controls_.lblInfo.SetText(" No server selected");
        return std::nullopt;
    }
    ServerEntry entry;
    if (static_cast<size_t>(index) < shared_.serverTable.size()) entry = shared_.serverTable[index];
    if (entry.Host.empty() && entry.Address.empty()) {
        controls_.lblInfo.SetText(" No data for this server, please select server");
        return std::nullopt;
    }
    // An entry without a host name is reached at its address: an empty name
    // would mean this computer.
    const bool useAddress = !entry.Address.empty() && (controls_.chkUseIP.Value() == 1 || entry.Host.empty());
    return useAddress ? entry.Address : entry.Host;
}

std::optional<double> SyncRun::StartQuery(const std::string& server) {
    controls_.lblInfo.SetText(" Getting Time from " + server + " ...");
    events_.PumpPendingEvents();
    replyData_.Clear();
    if (winsock1_.State() != SocketState::Closed) winsock1_.Close();
    winsock1_.SetRemoteHost(server);
    winsock1_.SetRemotePort(kTimePort);
    const double queryStarted = clock_.MonotonicSeconds();
    if (auto failed = winsock1_.Connect()) {
        controls_.lblInfo.SetText(ErrorText(kCannotGetTime, failed->number, failed->description));
        return std::nullopt;
    }
    return queryStarted;
}

// The server closes the connection once it has sent its four bytes.
bool SyncRun::AwaitReply() {
    // Measured on the monotonic clock so that midnight or a clock change
    // during the wait cannot end it early.
    const double t0 = clock_.MonotonicSeconds();
    for (;;) {
        clock_.Sleep(kPollMilliseconds);
        events_.PumpPendingEvents();
        // The socket first: a message box or menu may have held this loop
        // past the time-out while the whole reply came in.
        if (winsock1_.State() == SocketState::Closed || shared_.windowsClosing) return true;
        if (clock_.MonotonicSeconds() - t0 > kTimeoutSeconds) {
            winsock1_.Close();
            controls_.lblInfo.SetText(" Timeout awaiting for a response.");
            return false;
        }
    }
}

std::optional<SystemTime> SyncRun::ServerTimeFromReply() {
    switch (replyData_.Check()) {
    case ReplyBuffer::Outcome::NoResponse:
        controls_.lblInfo.SetText(" No response received from NTP server.");
        return std::nullopt;
    case ReplyBuffer::Outcome::ErrorInData:
        controls_.lblInfo.SetText(" Error in data received from NTP server, try again");
        return std::nullopt;
    case ReplyBuffer::Outcome::Complete:
        break;
    }
    std::optional<SystemTime> serverTime = DecodeReply(replyData_.Count());
    if (!serverTime) {
        controls_.lblInfo.SetText(ErrorText(kCannotGetTime, kOverflowNumber, kOverflowDescription));
        return std::nullopt;
    }
    // A message box or menu may have held the wait long after the reply came:
    // the server's time has gone on since, as the system clock has.
    AddSeconds(*serverTime, std::llround(clock_.MonotonicSeconds() - replyArrivedAt_));
    ApplyOffset(*serverTime, shared_.offsetMinutes);
    serverTime_ = serverTime;
    return serverTime;
}

bool SyncRun::ReportCheck(const SystemTime& serverTime, const SystemTime& systemTime, bool isRetry) {
    const int64_t d = std::llabs(SecondsBetween(systemTime, serverTime));
    if (d <= 1) {
        controls_.lblInfo.SetText(" Local time is OK");
    } else if (isRetry) {
        controls_.lblInfo.SetText(" Local time inaccurate - difference is " + std::to_string(d) + " seconds!");
    } else {
        return false;
    }
    return true;
}

// Anyone on the path can answer port 37, and a reply that passes every check
// can still carry any date: the clock is only set to a time that can be true.
void SyncRun::SetClock(const SystemTime& serverTime, const SystemTime& systemTime, RunBy by) {
    // A day's grace: the build's date is a UTC day, and the user's offset
    // may move the server's time back across it.
    if (SecondsBetween(serverTime, shared_.builtOn) < -kBuildDateGraceSeconds) {
        controls_.lblInfo.SetText(" Server time " + FormatDate(serverTime) +
                                  " is older than this program - the clock was not changed!");
        return;
    }
    const int64_t d = std::llabs(SecondsBetween(systemTime, serverTime));
    if (by == RunBy::Automatic && d > kMaxAutomaticCorrectionSeconds) {
        controls_.lblInfo.SetText(" Clock not changed automatically - difference is " + std::to_string(d) +
                                  " seconds!");
        return;
    }
    const ClockResult set = clock_.SetSystemTime(serverTime);
    if (set.ok) {
        controls_.lblInfo.SetText(" Time updated succesfully!  ( at " +
                                  FormatHourMinuteSecondAmPm(clock_.LocalNow(), clock_) + " )");
    } else {
        controls_.lblInfo.SetText(
            ErrorText(" Cannot set the system clock! (An error occurred) ", set.error, set.description));
    }
    // Recorded even when Windows refused, so automatic runs keep their
    // interval instead of retrying at every tick.
    lastSyncTimer_ = clock_.MonotonicSeconds();
}

// The further check must not come sooner than the server allows, and the
// window stays responsive meanwhile: no blocking sleep of the whole pause.
void SyncRun::PauseBeforeFurtherCheck(double queryStarted) {
    events_.PumpPendingEvents();
    const double now = clock_.MonotonicSeconds();
    double until = queryStarted + kMinSecondsBetweenQueries;
    if (until < now + kRetryPauseMilliseconds / 1000.0) until = now + kRetryPauseMilliseconds / 1000.0;
    while (clock_.MonotonicSeconds() < until && !shared_.windowsClosing) {
        clock_.Sleep(kPollMilliseconds);
        events_.PumpPendingEvents();
    }
}

void SyncRun::Winsock1_DataArrival(int32_t) {
    replyData_.Append(winsock1_.GetData());
    replyArrivedAt_ = clock_.MonotonicSeconds();
}

void SyncRun::Winsock1_Close() { winsock1_.Close(); }

void SyncRun::Winsock1_Error(int32_t number, const std::string& description) {
    controls_.lblInfo.SetText(ErrorText("An error occurred: ", number, description));
    if (number > 0 && winsock1_.State() != SocketState::Closed) winsock1_.Close();
}
