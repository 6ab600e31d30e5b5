#include "clock/SyncRun.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "clock/StatusText.h"
#include "clock/ThisMachine.h"
#include "pipe/SyncMessages.h"

namespace {

constexpr int32_t kOverflowNumber = 6;
const char* const kOverflowDescription = "Overflow";
constexpr double kForever = std::numeric_limits<double>::infinity();

RunOutcome Ended(RunOutcome::Kind kind) {
    RunOutcome outcome;
    outcome.kind = kind;
    return outcome;
}

RunOutcome Failed(RunOutcome::Kind kind, SocketError error) {
    RunOutcome outcome = Ended(kind);
    outcome.error = std::move(error);
    return outcome;
}

}  // namespace

SyncRun::SyncRun(RunContext context) : context_(context), pacer_(context.limits) {}

SyncRun::~SyncRun() = default;

std::optional<RunOutcome> SyncRun::Run(const RunRequest& request, const ProgressSink& progress) {
    if (inProgress_) return std::nullopt;
    inProgress_ = true;
    progress_ = &progress;
    RunOutcome outcome = [&] {
        if (request.host.empty() && request.address.empty()) return Ended(RunOutcome::Kind::NoData);
        if (!request.checkOnly && viaService_)
            if (std::optional<RunOutcome> set = SetThroughService(request)) return *set;
        return Query(request, false);
    }();
    outcome.server = request.Server();
    // A connection left open would keep a server's reply coming into the next run.
    if (context_.socket.State() != SocketState::Closed) context_.socket.Close();
    exchange_.reset();
    progress_ = nullptr;
    inProgress_ = false;
    return outcome;
}

SyncRun::WaitEnd SyncRun::Wait(const std::function<bool()>& done, double deadline, const std::function<void()>& tick) {
    for (;;) {
        // What the wait was for first: a message box or menu may have held
        // this loop past the deadline while the whole reply came in.
        if (done()) return WaitEnd::Done;
        if (context_.stop) return WaitEnd::Stopped;
        if (context_.clock.MonotonicSeconds() > deadline) return WaitEnd::Deadline;
        if (tick) tick();
        context_.clock.Sleep(kPollMilliseconds);
        context_.events.PumpPendingEvents();
    }
}

// A server that sent a kiss-o'-death is never asked again; any other waits
// for its turn, with the window alive and, unless quiet, the wait shown.
std::optional<RunOutcome> SyncRun::AwaitTurn(const RunRequest& request, double notBefore, bool quiet) {
    if (std::optional<std::string> code = pacer_.Kissed(request.host, request.address)) {
        RunOutcome kissed = Ended(RunOutcome::Kind::Kiss);
        kissed.text = *code;
        return kissed;
    }
    const std::optional<double> turn = pacer_.Turn(request.host, request.address,
                                                   request.protocol != ServerProtocol::Time,
                                                   context_.clock.MonotonicSeconds());
    if (!turn) return Ended(RunOutcome::Kind::Busy);
    const double at = std::max(*turn, notBefore);
    int64_t shown = -1;
    const WaitEnd end = Wait([&] { return context_.clock.MonotonicSeconds() >= at; }, kForever, [&] {
        const auto left = static_cast<int64_t>(std::ceil(at - context_.clock.MonotonicSeconds()));
        if (left != shown && !quiet) Show({RunProgress::Kind::Waiting, request.Server(), left, {}});
        shown = left;
    });
    if (end == WaitEnd::Stopped) return Ended(RunOutcome::Kind::Abandoned);
    return std::nullopt;
}

RunOutcome SyncRun::Query(const RunRequest& request, bool isRetry) {
    // The further check is not shown as a wait of its own, and pauses a
    // little even when the server's turn has come.
    const double notBefore = isRetry ? context_.clock.MonotonicSeconds() + kRetryPauseMilliseconds / 1000.0 : 0;
    if (std::optional<RunOutcome> ended = AwaitTurn(request, notBefore, isRetry)) return *ended;
    Show({RunProgress::Kind::Asking, request.Server(), 0, {}});
    context_.events.PumpPendingEvents();

    ClientSocket& socket = context_.socket;
    if (request.protocol == ServerProtocol::Nts) {
        NtsAssociation* association = nullptr;
        if (std::optional<RunOutcome> ended = AwaitNtsAssociation(request, association)) return *ended;
        exchange_ = MakeNtsExchange(*association);
    } else {
        exchange_ = MakeExchange(request.protocol);
    }
    started_ = false;
    reached_.clear();
    peerChecked_ = reachedThisMachine_ = false;
    if (socket.State() != SocketState::Closed) socket.Close();
    socket.SetProtocol(exchange_->Protocol());
    socket.SetRemoteHost(exchange_->Server().empty() ? request.Server() : exchange_->Server());
    socket.SetRemotePort(exchange_->Port());
    const double startedAt = context_.clock.MonotonicSeconds();
    if (std::optional<SocketError> failed = socket.Connect())
        return Failed(RunOutcome::Kind::CannotGetTime, std::move(*failed));
    // The server closes the connection once it has sent its four bytes; an
    // NTP exchange closes the socket on the datagram that decides. Measured
    // on the monotonic clock so that midnight or a clock change cannot end it early.
    const WaitEnd end = Wait([&] { return socket.State() == SocketState::Closed; }, startedAt + kTimeoutSeconds);
    if (peerChecked_) pacer_.Record(request.host, request.address, reached_, startedAt);
    if (reachedThisMachine_) {
        RunOutcome refused = Ended(RunOutcome::Kind::ThisMachine);
        refused.text = reached_;
        return refused;
    }
    if (end == WaitEnd::Deadline) {
        socket.Close();
        // Replies that only a forger could have sent are worth naming; what
        // else came before the time-out is not.
        const bool forged = exchange_->Finish(context_.clock).failure.kind == ExchangeFailure::Kind::NtsUnauthenticated;
        return Ended(forged ? RunOutcome::Kind::NtsUnauthenticated : RunOutcome::Kind::Timeout);
    }
    // Windows closing: what came so far decides.
    const ExchangeEnd got = exchange_->Finish(context_.clock);
    if (got.sample) return Compare(request, *got.sample, isRetry);
    switch (got.failure.kind) {
    case ExchangeFailure::Kind::NoResponse: return Ended(RunOutcome::Kind::NoResponse);
    case ExchangeFailure::Kind::ErrorInData: return Ended(RunOutcome::Kind::ErrorInData);
    case ExchangeFailure::Kind::Overflow:
        return Failed(RunOutcome::Kind::CannotGetTime, {kOverflowNumber, kOverflowDescription});
    case ExchangeFailure::Kind::NtsNak: return Ended(RunOutcome::Kind::NtsNak);
    case ExchangeFailure::Kind::NtsUnauthenticated: return Ended(RunOutcome::Kind::NtsUnauthenticated);
    case ExchangeFailure::Kind::Kiss: break;
    }
    pacer_.Kiss(request.host, request.address, got.failure.kissCode);
    RunOutcome kissed = Ended(RunOutcome::Kind::Kiss);
    kissed.text = got.failure.kissCode;
    return kissed;
}

// The key exchange authenticates the server by its certificate; only then
// are the keys and cookies it gives worth anything.
std::optional<RunOutcome> SyncRun::AwaitNtsAssociation(const RunRequest& request, NtsAssociation*& association) {
    association = &associations_[request.host + "|" + request.address];
    if (association->cookies.Size() > 0) return std::nullopt;
    if (!context_.tls) return Ended(RunOutcome::Kind::NtsNoKeyExchange);
    TlsRequest tls;
    // The address stands in for the name only where the line has none.
    tls.name = request.host.empty() ? request.address : request.host;
    tls.connectTo = request.Server();
    tls.port = kNtsKePort;
    tls.alpn = kNtsKeAlpn;
    tls.request = NtsKeRequest();
    tls.ended = NtsKeResponseEnded;
    tls.exportLabel = kNtsKeExporterLabel;
    tls.exportContexts = {NtsKeyContext(false), NtsKeyContext(true)};
    tls.exportLength = kNtsKeyLength;
    context_.tls->Start(std::move(tls));
    std::optional<TlsResult> result;
    const WaitEnd end = Wait([&] { return (result = context_.tls->Result()).has_value(); },
                             context_.clock.MonotonicSeconds() + kTimeoutSeconds);
    if (end != WaitEnd::Done) {
        context_.tls->Cancel();
        return Ended(end == WaitEnd::Stopped ? RunOutcome::Kind::Abandoned : RunOutcome::Kind::Timeout);
    }
    if (result->failure) {
        using F = TlsFailure::Kind;
        using K = RunOutcome::Kind;
        const TlsFailure& f = *result->failure;
        switch (f.kind) {
        case F::Connect: return Failed(K::CannotGetTime, {f.number, f.description});
        case F::Untrusted: return Ended(K::NtsUntrusted);
        case F::OtherName: return Ended(K::NtsOtherName);
        case F::Dates: {
            RunOutcome dates = Ended(K::NtsDates);
            dates.text = FormatDate(context_.clock.GetSystemTime());
            return dates;
        }
        case F::NoAlpn: return Ended(K::NtsNoKeyExchange);
        case F::Handshake:
        case F::Closed: break;
        }
        return Failed(K::NtsSecureFailed, {f.number, f.description});
    }
    const NtsKeResponse response = CheckNtsKeResponse(result->answer);
    const bool keys = result->exported.size() == 2 && result->exported[0].size() == kNtsKeyLength &&
                      result->exported[1].size() == kNtsKeyLength;
    if (response.outcome != NtsKeResponse::Outcome::Valid || !keys) {
        RunOutcome refused = Ended(RunOutcome::Kind::NtsKeyRefused);
        refused.text = keys ? NtsKeyExchangeFault(response) : "no keys could be taken from the session";
        return refused;
    }
    std::copy_n(result->exported[0].begin(), kNtsKeyLength, association->c2s.begin());
    std::copy_n(result->exported[1].begin(), kNtsKeyLength, association->s2c.begin());
    association->cookies.Refill(response.cookies);
    association->server = response.server;
    association->port = response.port.value_or(kNtpPort);
    return std::nullopt;
}

RunOutcome SyncRun::Compare(const RunRequest& request, const Sample& sample, bool isRetry) {
    SystemTime serverTime = sample.serverTime;
    ApplyOffset(serverTime, request.offsetMinutes);
    RunOutcome outcome = [&] {
        if (!request.checkOnly) return SetClock(request, serverTime, sample.systemTime, sample.authenticated);
        // Whole seconds, rounded up: any difference beyond one second shows as at least two.
        const int64_t d = sample.wholeSeconds
                              ? std::llabs(SecondsBetween(sample.systemTime, serverTime))
                              : (std::llabs(MillisecondsBetween(serverTime, sample.systemTime)) + 999) / 1000;
        if (d <= 1) return Ended(RunOutcome::Kind::LocalTimeOk);
        if (sample.wholeSeconds && !isRetry) return Query(request, true);
        RunOutcome off = Ended(RunOutcome::Kind::Difference);
        off.seconds = d;
        return off;
    }();
    if (!outcome.serverTime) outcome.serverTime = serverTime, outcome.ntp = sample.ntp;
    return outcome;
}

// Anyone on the path can answer port 37, and a reply that passes every check
// can still carry any date: the clock is only set to a time that can be true,
// and a person who clicked is asked before it moves further than 15 hours.
RunOutcome SyncRun::SetClock(const RunRequest& request, SystemTime serverTime, SystemTime systemTime,
                             bool authenticated) {
    // A day's grace: the build's date is a UTC day, and the user's offset
    // may move the server's time back across it.
    if (SecondsBetween(serverTime, context_.builtOn) < -kBuildDateGraceSeconds)
        return Ended(RunOutcome::Kind::OlderThanProgram);
    SystemClock& clock = context_.clock;
    const bool personTrusted = authenticated && request.authenticatedMayGoFar;
    if (request.by == RunBy::Automatic) {
        const int64_t d = std::llabs(SecondsBetween(AnchorNow(systemTime), serverTime));
        if (d > kMaxAutomaticCorrectionSeconds && !personTrusted) {
            RunOutcome refused = Ended(RunOutcome::Kind::TooFarAutomatic);
            refused.seconds = d;
            return refused;
        }
    } else if (const int64_t d = SecondsBetween(serverTime, systemTime);
               context_.confirm && std::llabs(d) > kMaxAutomaticCorrectionSeconds) {
        const double asked = clock.MonotonicSeconds();
        if (!context_.confirm->ConfirmCorrection(serverTime, d)) {
            RunOutcome refused = Ended(RunOutcome::Kind::NotConfirmed);
            refused.seconds = std::llabs(d);
            return refused;
        }
        // The server's time went on while the question waited for its answer.
        AddMilliseconds(serverTime, std::llround((clock.MonotonicSeconds() - asked) * 1000));
        systemTime = clock.GetSystemTime();
    }
    RunOutcome outcome;
    if (const ClockResult set = clock.SetSystemTime(serverTime); set.ok) {
        outcome = Ended(RunOutcome::Kind::Set);
        outcome.clockSet = ClockChange{systemTime, serverTime};
        if (request.by == RunBy::User || personTrusted) anchor_ = Anchor{serverTime, clock.UptimeSeconds()};
    } else if (std::optional<RunOutcome> viaService;
               set.error == kPrivilegeNotHeld && (viaService = SetThroughService(request))) {
        return *viaService;
    } else {
        outcome = Failed(RunOutcome::Kind::CannotSet, {static_cast<int32_t>(set.error), set.description});
    }
    // Recorded even when Windows refused, so automatic runs keep their
    // interval instead of retrying at every tick.
    lastSettingEnded_ = clock.MonotonicSeconds();
    return outcome;
}

SystemTime SyncRun::AnchorNow(const SystemTime& systemTime) {
    const double now = context_.clock.UptimeSeconds();
    if (!anchor_) anchor_ = Anchor{systemTime, now};
    SystemTime t = anchor_->reading;
    AddMilliseconds(t, std::llround((now - anchor_->uptime) * 1000));
    return t;
}

// The service asks the server again: not sooner than the server allows.
std::optional<RunOutcome> SyncRun::SetThroughService(const RunRequest& request) {
    ServiceClient* service = context_.service;
    if (!service) return std::nullopt;
    if (std::optional<RunOutcome> ended = AwaitTurn(request, 0, false)) return *ended;
    Show({RunProgress::Kind::Asking, request.Server(), 0, {}});
    const std::string message = FormatRequest({request.host, request.address, request.AsksAddress(),
                                               request.protocol != ServerProtocol::Time, request.offsetMinutes,
                                               request.by == RunBy::Automatic,
                                               request.protocol == ServerProtocol::Nts});
    std::optional<SyncReply> reply;
    bool sent = false, noService = false;
    Wait(
        [&] {
            if (!sent) {
                const ServiceClient::Sent outcome = service->Send(message);
                noService = outcome == ServiceClient::Sent::NoService;
                sent = outcome == ServiceClient::Sent::Sent;
            } else if (const std::optional<std::string> bytes = service->Reply()) {
                reply = ParseReply(*bytes);
                return true;
            }
            return noService;
        },
        context_.clock.MonotonicSeconds() + kServiceTimeoutSeconds);
    service->Close();
    if (noService) return std::nullopt;
    // Only a setting counts: any other end is a failed run, which an
    // automatic run tries again after its pause instead of a whole interval.
    if (!reply) return Ended(RunOutcome::Kind::ServiceSilent);
    viaService_ = true;
    if (reply->result != SyncReply::Result::Set) {
        RunOutcome said = Ended(RunOutcome::Kind::ServiceSaid);
        said.text = reply->text;
        return said;
    }
    RunOutcome set = Ended(RunOutcome::Kind::SetByService);
    set.offsetLeftOut = request.offsetMinutes != 0;
    lastSettingEnded_ = context_.clock.MonotonicSeconds();
    return set;
}

void SyncRun::Show(RunProgress progress) const {
    if (progress_ && *progress_) (*progress_)(progress);
}

// The request goes as soon as the socket is tied to the server's address,
// and the clock is read as it goes.
void SyncRun::Winsock1_Connect() {
    if (!PeerAllowed() || !exchange_ || started_) return;
    started_ = true;
    const std::string request = exchange_->Start(context_.clock);
    if (request.empty()) return;
    if (std::optional<SocketError> failed = context_.socket.SendData(request))
        Winsock1_Error(failed->number, failed->description);
}

void SyncRun::Winsock1_DataArrival(int32_t) {
    if (!PeerAllowed()) return;
    std::string bytes = context_.socket.GetData();
    if (exchange_ && exchange_->Arrived(std::move(bytes), context_.clock)) context_.socket.Close();
}

// The service's setting is everyone's clock, and a server on this computer is
// whatever a local user started there. Checked on the address the socket
// reached, whatever name or address the list gave.
bool SyncRun::PeerAllowed() {
    if (peerChecked_) return !reachedThisMachine_;
    peerChecked_ = true;
    reached_ = context_.socket.PeerAddress();
    if (!context_.ownAddresses || !IsThisMachine(reached_, context_.ownAddresses->List())) return true;
    reachedThisMachine_ = true;
    context_.socket.Close();
    return false;
}

void SyncRun::Winsock1_Close() { context_.socket.Close(); }

void SyncRun::Winsock1_Error(int32_t number, const std::string& description) {
    Show({RunProgress::Kind::SocketError, {}, 0, {number, description}});
    if (number > 0 && context_.socket.State() != SocketState::Closed) context_.socket.Close();
}
