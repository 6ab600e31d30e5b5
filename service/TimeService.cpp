#include "service/TimeService.h"

#include <cstdio>

#include "clock/StatusText.h"
#include "clock/SyncRun.h"
#include "pipe/SyncMessages.h"
#include "serverlist/ServerList.h"
#include "service/SyncRequest.h"

namespace {

// The client gives up kServiceTimeoutSeconds after it asked, and the run
// itself may take its whole time-out: a query that cannot start within what
// is left, with a margin for the pipe, is not started at all. Over all
// servers, a user's automatic runs ask once a minute at most, and a few users
// at once stay far below twelve, while anyone who asks for more only makes
// the service answer busy, not ask more often.
constexpr QueryPacer::Limits kServiceLimits{4.0, 15.0, 12,
                                            SyncRun::kServiceTimeoutSeconds - SyncRun::kTimeoutSeconds - 2.0};

// "yyyy-mm-dd hh:mm:ss.mmm UTC": what an administrator reading the log needs,
// in no one's regional format.
std::string LogTime(const SystemTime& t) {
    char text[32];
    std::snprintf(text, sizeof text, " %02u:%02u:%02u.%03u", t.wHour, t.wMinute, t.wSecond, t.wMilliseconds);
    return FormatDate(t) + text + " UTC";
}

}  // namespace

struct TimeService::Impl {
    Impl(std::string folder, ClientSocket& socket, SystemClock& c, EventPump& e, EventLog& l, SystemTime builtOn,
         const MachineAddresses& own, TlsClient* tls)
        : appFolder(std::move(folder)), clock(c), log(l),
          run({socket, c, e, stopped, builtOn, kServiceLimits, nullptr, nullptr, &own, tls}) {}

    std::string Answer(std::string_view bytes, const std::string& user);

    std::string appFolder;
    SystemClock& clock;
    EventLog& log;
    const bool stopped = false;
    // One for the service's life: what it learnt of servers (their spacing,
    // a kiss-o'-death) holds for every client.
    SyncRun run;
};

std::string TimeService::Impl::Answer(std::string_view bytes, const std::string& user) {
    const std::optional<SyncRequest> asked = ParseRequest(bytes);
    if (!asked) return FormatReply({SyncReply::Result::Refused, "malformed request"});
    // Read again for every request: an administrator may have changed it,
    // and a list that has gone trusts nothing.
    ServerTable list;
    LoadServerList(appFolder, list);
    if (const std::optional<std::string> why = RefusalOf(*asked, list))
        return FormatReply({SyncReply::Result::Refused, " The time service refused: " + *why});

    // Whoever asks, nobody watches the service's run: its limits always hold,
    // and it sets true time, without any user's offset. Only time that NTS
    // authenticated, which no one on the way can forge, may go further when a
    // person asked: a dead battery fixed by a standard user.
    const ServerProtocol protocol = asked->nts   ? ServerProtocol::Nts
                                    : asked->ntp ? ServerProtocol::Ntp
                                                 : ServerProtocol::Time;
    RunRequest request{asked->host, asked->address, protocol, asked->useAddress, 0, kSetClock, RunBy::Automatic};
    request.authenticatedMayGoFar = !asked->automatic;
    const std::optional<RunOutcome> outcome = run.Run(request);
    if (!outcome || outcome->kind == RunOutcome::Kind::Busy)
        return FormatReply({SyncReply::Result::Busy, StatusText(RunOutcome{RunOutcome::Kind::Busy}, clock)});
    const std::string text = StatusText(*outcome, clock);
    if (outcome->kind == RunOutcome::Kind::ThisMachine) return FormatReply({SyncReply::Result::Refused, text});
    if (!outcome->clockSet) return FormatReply({SyncReply::Result::Failed, text});
    log.Report("The system clock was changed from " + LogTime(outcome->clockSet->from) + " to " +
               LogTime(outcome->clockSet->to) + " with the time of " + request.Server() + ", at the request of " +
               user + ".");
    return FormatReply({SyncReply::Result::Set, text});
}

TimeService::TimeService(std::string appFolder, ClientSocket& socket, SystemClock& clock, EventPump& events,
                         EventLog& log, SystemTime builtOn, const MachineAddresses& ownAddresses, TlsClient* tls)
    : impl_(std::make_unique<Impl>(std::move(appFolder), socket, clock, events, log, builtOn, ownAddresses, tls)) {}

TimeService::~TimeService() = default;

SocketEventSink& TimeService::Events() { return impl_->run; }

std::string TimeService::Answer(std::string_view request, const std::string& user) {
    return impl_->Answer(request, user);
}
