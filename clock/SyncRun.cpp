#include "clock/SyncRun.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "clock/ThisMachine.h"
#include "pipe/SyncMessages.h"

namespace {

constexpr int32_t kOverflowNumber = 6;
const char* const kOverflowDescription = "Overflow";
const char* const kCannotGetTime = " Cannot get time from server! (An error occurred) ";
const char* const kNoResponse = " No response received from NTP server.";
const char* const kErrorInData = " Error in data received from NTP server, try again";
const char* const kLocalTimeOk = " Local time is OK";
// The service runs for every user, so it leaves one user's offset out.
const char* const kServiceSetTrueTime = " The time service set the true time, without the offset.";
const char* const kServiceSilent = " The time service did not answer.";

std::string ErrorText(const char* prefix, int64_t number, const std::string& description) {
    return prefix + std::to_string(number) + ":" + description;
}

std::string KissText(const std::string& server, const std::string& code) {
    return " " + server + " asked not to be queried any more (" + code + ")";
}

std::string UpdatedText(const SystemClock& clock) {
    return " Time updated succesfully!  ( at " + FormatHourMinuteSecondAmPm(clock.LocalNow(), clock) + " )";
}

std::string DifferenceText(int64_t seconds) {
    return " Local time inaccurate - difference is " + std::to_string(seconds) + " seconds!";
}

// Only the server asked has seen our transmit timestamp; a datagram that
// does not carry it back as its originate timestamp was made up elsewhere.
bool EchoesTransmit(std::string_view datagram, NtpTimestamp transmit) {
    constexpr size_t kOriginateAt = 24;
    if (datagram.size() < kOriginateAt + 8) return false;
    NtpTimestamp originate = 0;
    for (size_t i = kOriginateAt; i < kOriginateAt + 8; ++i)
        originate = originate << 8 | static_cast<unsigned char>(datagram[i]);
    return originate == transmit;
}

std::string Count(int64_t n, const char* unit) {
    return std::to_string(n) + " " + unit + (n == 1 ? "" : "s");
}

}  // namespace

std::string CorrectionQuestion(const SystemTime& serverTime, int64_t seconds) {
    const int64_t d = std::llabs(seconds);
    char clock[32];
    std::snprintf(clock, sizeof clock, " %02u:%02u:%02u", serverTime.wHour, serverTime.wMinute, serverTime.wSecond);
    return "The time server says it is " + FormatDate(serverTime) + clock + " UTC: " + Count(d / 86400, "day") +
           ", " + Count(d / 3600 % 24, "hour") + " and " + Count(d / 60 % 60, "minute") +
           (seconds > 0 ? " ahead of" : " behind") + " this computer's clock.\n\nSet the clock to the server's time?";
}

SyncRun::SyncRun(SyncControls controls, SyncShared shared, ClientSocket& winsock1, SystemClock& clock,
                 EventPump& events, ServiceClient* service, const MachineAddresses* ownAddresses)
    : controls_(controls), shared_(shared), winsock1_(winsock1), clock_(clock), events_(events), service_(service),
      ownAddresses_(ownAddresses) {}

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

    clockSet_.reset();
    refusedCorrection_ = false;
    // Every ending passes through Finish, error path included.
    const std::optional<Choice> choice = ChooseServer();
    if (!choice) return Finish();
    if (!checkOnly && viaService_ && SetThroughService(*choice, by, 0)) return Finish();
    if (choice->protocol == ServerProtocol::Ntp) {
        RunNtp(*choice, checkOnly, by);
        return Finish();
    }
    const std::optional<double> queryStarted = StartQuery(choice->server, SocketProtocol::Tcp, kTimePort);
    if (!queryStarted || !AwaitReply()) return Finish();
    const std::optional<SystemTime> serverTime = ServerTimeFromReply();
    if (!serverTime) return Finish();
    const SystemTime systemTime = clock_.GetSystemTime();

    if (!checkOnly) {
        SetClock(*choice, *serverTime, systemTime, by);
    } else if (!ReportCheck(*serverTime, systemTime, isRetry)) {
        PauseBeforeFurtherCheck(*queryStarted);
        Run(kCheckOnly, kRetry, by);
    }
    Finish();
}

// One exchange decides: its offset is exact to the millisecond, so there is
// no further check.
void SyncRun::RunNtp(const Choice& choice, bool checkOnly, RunBy by) {
    if (!AwaitNtpTurn(choice)) return;
    const bool answered = StartQuery(choice.server, SocketProtocol::Udp, kNtpPort) && AwaitReply();
    if (exchange_.sent) {
        const double now = clock_.MonotonicSeconds();
        std::erase_if(lastNtpQuery_, [now](const auto& q) { return q.second + kMinSecondsBetweenNtpQueries < now; });
        for (const std::string& key : {choice.host, choice.address})
            if (!key.empty()) lastNtpQuery_[key] = exchange_.sentAtMonotonic;
    }
    if (!answered) return;
    const std::optional<int64_t> offsetMs = NtpOffsetFromReply(choice);
    if (!offsetMs) return;
    const SystemTime systemTime = clock_.GetSystemTime();
    SystemTime serverTime = systemTime;
    AddMilliseconds(serverTime, *offsetMs);
    ApplyOffset(serverTime, shared_.offsetMinutes);
    serverTime_ = serverTime;
    if (!checkOnly) return SetClock(choice, serverTime, systemTime, by);
    // Whole seconds, rounded up: any difference beyond one second shows as at least two.
    const int64_t differenceMs = std::llabs(*offsetMs - int64_t{shared_.offsetMinutes} * 60'000);
    controls_.lblInfo.SetText(differenceMs <= 1000 ? kLocalTimeOk : DifferenceText((differenceMs + 999) / 1000));
}

// A server that sent a kiss-o'-death is never asked again; any other waits
// for its turn, with the window alive and the wait on the status line.
bool SyncRun::AwaitNtpTurn(const Choice& choice) {
    double turn = 0;
    for (const std::string& key : {choice.host, choice.address}) {
        if (key.empty()) continue;
        if (const auto kiss = kissCodes_.find(key); kiss != kissCodes_.end()) {
            controls_.lblInfo.SetText(KissText(choice.server, kiss->second));
            return false;
        }
        if (const auto last = lastNtpQuery_.find(key); last != lastNtpQuery_.end())
            turn = std::max(turn, last->second + kMinSecondsBetweenNtpQueries);
    }
    return WaitForTurn(turn, choice.server);
}

bool SyncRun::WaitForTurn(double turn, const std::string& server) {
    for (int64_t shown = -1; clock_.MonotonicSeconds() < turn;) {
        if (shared_.windowsClosing) return false;
        const auto left = static_cast<int64_t>(std::ceil(turn - clock_.MonotonicSeconds()));
        if (left != shown && !server.empty()) {
            controls_.lblInfo.SetText(" Waiting " + std::to_string(left) + " s before asking " + server +
                                      " again ...");
        }
        shown = left;
        clock_.Sleep(kPollMilliseconds);
        events_.PumpPendingEvents();
    }
    return true;
}

std::optional<int64_t> SyncRun::NtpOffsetFromReply(const Choice& choice) {
    if (!exchange_.reply) {
        controls_.lblInfo.SetText(kNoResponse);
        return std::nullopt;
    }
    const SntpReply reply = CheckSntpReply(*exchange_.reply, exchange_.transmit);
    if (reply.outcome == SntpReply::Outcome::KissOfDeath) {
        for (const std::string& key : {choice.host, choice.address})
            if (!key.empty()) kissCodes_[key] = reply.kissCode;
        controls_.lblInfo.SetText(KissText(choice.server, reply.kissCode));
        return std::nullopt;
    }
    if (reply.outcome != SntpReply::Outcome::Valid) {
        controls_.lblInfo.SetText(kErrorInData);
        return std::nullopt;
    }
    // The receive time follows from the send time on the monotonic clock, so
    // a change of the system clock during the wait cannot spoil the offset.
    const int64_t t1 = MicrosecondsSince1900(exchange_.sentAt);
    const int64_t t4 = t1 + std::llround((exchange_.replyAtMonotonic - exchange_.sentAtMonotonic) * 1e6);
    ntpOffset_ = OffsetAndDelay(t1, NtpToMicroseconds(reply.receive), NtpToMicroseconds(reply.transmit), t4);
    return std::llround(static_cast<double>(ntpOffset_->offsetUs) / 1000);
}

// A connection left open would keep a server's reply coming into the next run.
void SyncRun::Finish() {
    if (winsock1_.State() != SocketState::Closed) winsock1_.Close();
    controls_.cmdCheckTime.SetEnabled(true);
    controls_.cmdSynchronize.SetEnabled(true);
}

std::optional<SyncRun::Choice> SyncRun::ChooseServer() {
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
    return Choice{useAddress ? entry.Address : entry.Host, entry.Host, entry.Address,
                  shared_.serverTable.Protocol(index)};
}

std::optional<double> SyncRun::StartQuery(const std::string& server, SocketProtocol protocol, uint16_t port) {
    controls_.lblInfo.SetText(" Getting Time from " + server + " ...");
    events_.PumpPendingEvents();
    replyData_.Clear();
    exchange_ = {};
    reached_.clear();
    peerChecked_ = reachedThisMachine_ = false;
    ntp_ = protocol == SocketProtocol::Udp;
    if (winsock1_.State() != SocketState::Closed) winsock1_.Close();
    winsock1_.SetProtocol(protocol);
    winsock1_.SetRemoteHost(server);
    winsock1_.SetRemotePort(port);
    const double queryStarted = queryStarted_ = clock_.MonotonicSeconds();
    if (auto failed = winsock1_.Connect()) {
        controls_.lblInfo.SetText(ErrorText(kCannotGetTime, failed->number, failed->description));
        return std::nullopt;
    }
    return queryStarted;
}

// The server closes the connection once it has sent its four bytes; an NTP
// exchange closes the socket on the first datagram.
bool SyncRun::AwaitReply() {
    // Measured on the monotonic clock so that midnight or a clock change
    // during the wait cannot end it early.
    const double t0 = clock_.MonotonicSeconds();
    for (;;) {
        clock_.Sleep(kPollMilliseconds);
        events_.PumpPendingEvents();
        // The socket first: a message box or menu may have held this loop
        // past the time-out while the whole reply came in.
        if (winsock1_.State() == SocketState::Closed || shared_.windowsClosing) return !reachedThisMachine_;
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
        controls_.lblInfo.SetText(kNoResponse);
        return std::nullopt;
    case ReplyBuffer::Outcome::ErrorInData:
        controls_.lblInfo.SetText(kErrorInData);
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
        controls_.lblInfo.SetText(kLocalTimeOk);
    } else if (isRetry) {
        controls_.lblInfo.SetText(DifferenceText(d));
    } else {
        return false;
    }
    return true;
}

// Anyone on the path can answer port 37, and a reply that passes every check
// can still carry any date: the clock is only set to a time that can be true,
// and a person who clicked is asked before it moves further than 15 hours.
void SyncRun::SetClock(const Choice& choice, SystemTime serverTime, SystemTime systemTime, RunBy by) {
    // A day's grace: the build's date is a UTC day, and the user's offset
    // may move the server's time back across it.
    if (SecondsBetween(serverTime, shared_.builtOn) < -kBuildDateGraceSeconds) {
        controls_.lblInfo.SetText(" Server time " + FormatDate(serverTime) +
                                  " is older than this program - the clock was not changed!");
        refusedCorrection_ = true;
        return;
    }
    if (by == RunBy::Automatic) {
        const int64_t d = std::llabs(SecondsBetween(AnchorNow(systemTime), serverTime));
        if (d > kMaxAutomaticCorrectionSeconds) {
            controls_.lblInfo.SetText(" Clock not changed automatically - difference is " + std::to_string(d) +
                                      " seconds!");
            refusedCorrection_ = true;
            return;
        }
    } else if (const int64_t d = SecondsBetween(serverTime, systemTime);
               shared_.confirm && std::llabs(d) > kMaxAutomaticCorrectionSeconds) {
        const double asked = clock_.MonotonicSeconds();
        if (!shared_.confirm->ConfirmCorrection(serverTime, d)) {
            controls_.lblInfo.SetText(" Clock not changed - the difference of " + std::to_string(std::llabs(d)) +
                                      " seconds was not confirmed.");
            refusedCorrection_ = true;
            return;
        }
        // The server's time went on while the question waited for its answer.
        AddMilliseconds(serverTime, std::llround((clock_.MonotonicSeconds() - asked) * 1000));
        systemTime = clock_.GetSystemTime();
    }
    const ClockResult set = clock_.SetSystemTime(serverTime);
    if (set.ok) {
        clockSet_ = ClockChange{systemTime, serverTime};
        if (by == RunBy::User) anchor_ = Anchor{serverTime, clock_.UptimeSeconds()};
        controls_.lblInfo.SetText(UpdatedText(clock_));
    } else if (set.error == kPrivilegeNotHeld && service_ &&
               // The service asks the server again: not sooner than the server allows.
               SetThroughService(choice, by,
                                 queryStarted_ + (ntp_ ? kMinSecondsBetweenNtpQueries : kMinSecondsBetweenQueries))) {
        return;
    } else {
        controls_.lblInfo.SetText(
            ErrorText(" Cannot set the system clock! (An error occurred) ", set.error, set.description));
    }
    // Recorded even when Windows refused, so automatic runs keep their
    // interval instead of retrying at every tick.
    lastSyncTimer_ = clock_.MonotonicSeconds();
}

SystemTime SyncRun::AnchorNow(const SystemTime& systemTime) {
    const double now = clock_.UptimeSeconds();
    if (!anchor_) anchor_ = Anchor{systemTime, now};
    SystemTime t = anchor_->reading;
    AddMilliseconds(t, std::llround((now - anchor_->uptime) * 1000));
    return t;
}

bool SyncRun::SetThroughService(const Choice& choice, RunBy by, double turn) {
    if (!WaitForTurn(turn, choice.server)) return true;
    controls_.lblInfo.SetText(" Getting Time from " + choice.server + " ...");
    const std::string request = FormatRequest({choice.host, choice.address, choice.server != choice.host,
                                               choice.protocol == ServerProtocol::Ntp, shared_.offsetMinutes,
                                               by == RunBy::Automatic});
    std::optional<SyncReply> reply;
    bool sent = false, noService = false;
    for (const double t0 = clock_.MonotonicSeconds();
         !shared_.windowsClosing && clock_.MonotonicSeconds() - t0 < kServiceTimeoutSeconds;) {
        if (!sent) {
            const ServiceClient::Sent outcome = service_->Send(request);
            if ((noService = outcome == ServiceClient::Sent::NoService)) break;
            sent = outcome == ServiceClient::Sent::Sent;
        } else if (const std::optional<std::string> bytes = service_->Reply()) {
            reply = ParseReply(*bytes);
            break;
        }
        clock_.Sleep(kPollMilliseconds);
        events_.PumpPendingEvents();
    }
    service_->Close();
    if (noService) return false;
    // Only a setting counts: any other end is a failed run, which an
    // automatic run tries again after its pause instead of a whole interval.
    if (!reply) {
        controls_.lblInfo.SetText(kServiceSilent);
        return true;
    }
    viaService_ = true;
    if (reply->result != SyncReply::Result::Set) {
        controls_.lblInfo.SetText(reply->text);
        return true;
    }
    // The success text carries this user's time format, not the service's.
    controls_.lblInfo.SetText(UpdatedText(clock_) + (shared_.offsetMinutes != 0 ? kServiceSetTrueTime : ""));
    lastSyncTimer_ = clock_.MonotonicSeconds();
    return true;
}

// The further check must not come sooner than the server allows, and the
// window stays responsive meanwhile: no blocking sleep of the whole pause.
void SyncRun::PauseBeforeFurtherCheck(double queryStarted) {
    events_.PumpPendingEvents();
    const double now = clock_.MonotonicSeconds();
    WaitForTurn(std::max(queryStarted + kMinSecondsBetweenQueries, now + kRetryPauseMilliseconds / 1000.0), {});
}

// The request goes as soon as the socket is tied to the server's address,
// and the clock is read as it goes.
void SyncRun::Winsock1_Connect() {
    if (!PeerAllowed() || !ntp_ || exchange_.sent) return;
    exchange_.sent = true;
    exchange_.transmit = RandomNtpTimestamp();
    exchange_.sentAt = clock_.GetSystemTime();
    exchange_.sentAtMonotonic = clock_.MonotonicSeconds();
    if (auto failed = winsock1_.SendData(SntpRequest(exchange_.transmit)))
        Winsock1_Error(failed->number, failed->description);
}

void SyncRun::Winsock1_DataArrival(int32_t) {
    if (!PeerAllowed()) return;
    if (ntp_) {
        // The first datagram that echoes our request decides, and the socket
        // closes on it; the last one allowed decides too, as data in error.
        std::string datagram = winsock1_.GetData();
        if (datagram.empty() || exchange_.reply) return;
        if (!EchoesTransmit(datagram, exchange_.transmit) && ++exchange_.datagrams < kMaxNtpDatagrams) return;
        exchange_.reply = std::move(datagram);
        exchange_.replyAtMonotonic = clock_.MonotonicSeconds();
        winsock1_.Close();
        return;
    }
    replyData_.Append(winsock1_.GetData());
    replyArrivedAt_ = clock_.MonotonicSeconds();
}

// The service's setting is everyone's clock, and a server on this computer is
// whatever a local user started there. Checked on the address the socket
// reached, whatever name or address the list gave.
bool SyncRun::PeerAllowed() {
    if (peerChecked_) return !reachedThisMachine_;
    peerChecked_ = true;
    reached_ = winsock1_.PeerAddress();
    if (!ownAddresses_ || !IsThisMachine(reached_, ownAddresses_->List())) return true;
    reachedThisMachine_ = true;
    winsock1_.Close();
    const std::string what = reached_.empty() ? "The server's address is unknown" : reached_ + " is this computer";
    controls_.lblInfo.SetText(" " + what + ": the time service takes no time from it");
    return false;
}

void SyncRun::Winsock1_Close() { winsock1_.Close(); }

void SyncRun::Winsock1_Error(int32_t number, const std::string& description) {
    controls_.lblInfo.SetText(ErrorText("An error occurred: ", number, description));
    if (number > 0 && winsock1_.State() != SocketState::Closed) winsock1_.Close();
}
