#include "service/TimeService.h"

#include <cstdio>

#include "clock/SyncRun.h"
#include "clock/TimeProtocol.h"
#include "pipe/SyncMessages.h"
#include "serverlist/ServerList.h"
#include "service/SyncRequest.h"

namespace {

// The run's controls. Nobody sees them: the reply carries the text.
struct Label final : TextTarget {
    void SetText(const std::string& t) override { text = t; }
    std::string Text() const override { return text; }
    std::string text;
};
struct Button final : EnabledTarget {
    void SetEnabled(bool) override {}
    bool Enabled() const override { return true; }
};
struct Index final : ChooserIndex {
    int16_t ListIndex() const override { return index; }
    int16_t index = -1;
};
struct Check final : CheckValue {
    int Value() const override { return value; }
    int value = 0;
};

// The client gives up kServiceTimeoutSeconds after it asked, and the run
// itself may take its whole time-out: a query that cannot start within what
// is left, with a margin for the pipe, is not started at all.
constexpr double kLongestWaitSeconds = SyncRun::kServiceTimeoutSeconds - SyncRun::kTimeoutSeconds - 2.0;
const char* const kBusy = " The time service is busy - try again later.";

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
         const MachineAddresses& own)
        : appFolder(std::move(folder)), clock(c), events(e), log(l),
          run({lblInfo, button, button, server, useAddress}, {list, offsetMinutes, closing, builtOn, nullptr}, socket,
              c, e, nullptr, &own) {}

    std::string Answer(std::string_view bytes, const std::string& user);

    std::string appFolder;
    SystemClock& clock;
    EventPump& events;
    EventLog& log;
    Label lblInfo;
    Button button;
    Index server;
    Check useAddress;
    ServerTable list;
    const int32_t offsetMinutes = 0;
    bool closing = false;
    // One for the service's life: what it learnt of NTP servers (their
    // spacing, a kiss-o'-death) holds for every client.
    SyncRun run;
    QueryPacer pacer;
};

std::string TimeService::Impl::Answer(std::string_view bytes, const std::string& user) {
    const std::optional<SyncRequest> request = ParseRequest(bytes);
    if (!request) return FormatReply({SyncReply::Result::Refused, "malformed request"});
    // Read again for every request: an administrator may have changed it,
    // and a list that has gone trusts nothing.
    ServerTable fresh;
    LoadServerList(appFolder, fresh);
    list = std::move(fresh);
    const std::optional<size_t> index = ListedIndex(*request, list);
    if (const std::optional<std::string> why = RefusalOf(*request, list))
        return FormatReply({SyncReply::Result::Refused, " The time service refused: " + *why});

    server.index = static_cast<int16_t>(*index);
    useAddress.value = request->useAddress ? 1 : 0;
    const std::string asked = request->useAddress ? request->address : request->host;
    const std::string line = request->host + "|" + request->address;
    const std::optional<double> turn = pacer.Turn(line, request->ntp, clock.MonotonicSeconds(), kLongestWaitSeconds);
    if (!turn) return FormatReply({SyncReply::Result::Busy, kBusy});
    while (clock.MonotonicSeconds() < *turn) {
        clock.Sleep(SyncRun::kPollMilliseconds);
        events.PumpPendingEvents();
    }
    const double queried = clock.MonotonicSeconds();
    // Whoever asks, nobody watches the service's run: its limits always hold.
    run.SyncTime(kSetClock, kFirstQuery, RunBy::Automatic);
    pacer.Record(line, run.Reached(), queried);
    if (run.ReachedThisMachine()) return FormatReply({SyncReply::Result::Refused, lblInfo.text});
    if (!run.ClockSet()) return FormatReply({SyncReply::Result::Failed, lblInfo.text});
    log.Report("The system clock was changed from " + LogTime(run.ClockSet()->from) + " to " +
               LogTime(run.ClockSet()->to) + " with the time of " + asked + ", at the request of " + user + ".");
    return FormatReply({SyncReply::Result::Set, lblInfo.text});
}

TimeService::TimeService(std::string appFolder, ClientSocket& socket, SystemClock& clock, EventPump& events,
                         EventLog& log, SystemTime builtOn, const MachineAddresses& ownAddresses)
    : impl_(std::make_unique<Impl>(std::move(appFolder), socket, clock, events, log, builtOn, ownAddresses)) {}

TimeService::~TimeService() = default;

SocketEvents& TimeService::Events() { return impl_->run; }

std::string TimeService::Answer(std::string_view request, const std::string& user) {
    return impl_->Answer(request, user);
}
