#pragma once
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "clock/Exchange.h"
#include "clock/NtsExchange.h"
#include "clock/QueryPacer.h"
#include "clock/RunValues.h"
#include "platform/EventPump.h"
#include "platform/MachineAddresses.h"
#include "platform/ServiceClient.h"
#include "platform/Socket.h"
#include "platform/SystemClock.h"
#include "platform/TlsClient.h"

// Asked before a setting that the user started moves the clock further than
// an automatic run may: one click on a server that sent zero would otherwise
// put the clock in 2036.
class CorrectionConfirm {
public:
    virtual ~CorrectionConfirm() = default;
    // serverTime is what the clock would be set to, UTC; seconds is it less
    // the system clock, positive when the server is ahead. True to set it.
    virtual bool ConfirmCorrection(const SystemTime& serverTime, int64_t seconds) = 0;
};

// What a run works with, for the life of the program or of the service.
struct RunContext {
    ClientSocket& socket;
    SystemClock& clock;
    EventPump& events;
    // Set while Windows is closing: every wait ends at once.
    const bool& stop;
    // UTC midnight of the day this program was built: no true time lies before it.
    SystemTime builtOn;
    QueryPacer::Limits limits;
    // Null where nobody watches: the time service keeps its own limits.
    CorrectionConfirm* confirm = nullptr;
    // With a service, a clock this process may not set is set through it.
    ServiceClient* service = nullptr;
    // With these (the time service's run), a server that turns out to be
    // this computer is refused before anything is sent to it or read.
    const MachineAddresses* ownAddresses = nullptr;
    // Where NTS servers are asked at all: without it, their lines say so.
    TlsClient* tls = nullptr;
};

using ProgressSink = std::function<void(const RunProgress&)>;

// Runs one request at a time: the server's turn, one exchange (two for a
// check that finds a whole-second difference), then a comparison with the
// system clock or a setting of it. Synchronous: while waiting it lets the
// window's events run, which is also how the socket's events reach it.
class SyncRun : public SocketEventSink {
public:
    static constexpr double kTimeoutSeconds = 8.0;
    static constexpr uint32_t kPollMilliseconds = 10;
    static constexpr uint32_t kRetryPauseMilliseconds = 500;
    // Windows' own time service refuses larger corrections on standalone
    // machines by default; beyond this an automatic run only reports.
    static constexpr int64_t kMaxAutomaticCorrectionSeconds = 15 * 3600;
    static constexpr int64_t kBuildDateGraceSeconds = 24 * 3600;
    // Windows' ERROR_PRIVILEGE_NOT_HELD: the process may not set the clock.
    static constexpr uint32_t kPrivilegeNotHeld = 1314;
    // The time service's run may first wait for its server's turn, then
    // for a reply: longer than one of ours.
    static constexpr double kServiceTimeoutSeconds = 30.0;

    explicit SyncRun(RunContext context);
    ~SyncRun() override;

    // Empty, doing nothing, while another run is in progress: a timer tick or
    // a window handler may call in while a run waits, and a nested run would
    // steal the first one's connection and reply.
    std::optional<RunOutcome> Run(const RunRequest& request, const ProgressSink& progress = {});

    bool InProgress() const { return inProgress_; }
    // Monotonic seconds at the end of the last run that set the clock or
    // tried to: automatic runs keep their interval from it even when Windows
    // refused. Empty until the first one.
    std::optional<double> LastSettingEnded() const { return lastSettingEnded_; }

    void Winsock1_Connect() override;
    void Winsock1_DataArrival(int32_t bytesTotal) override;
    void Winsock1_Close() override;
    void Winsock1_Error(int32_t number, const std::string& description) override;

private:
    // A clock reading and the uptime it was taken at: what the clock should
    // read now, as far as this process knows, without any server's say.
    // Automatic settings are held to it, so that a server cannot walk the
    // clock 15 hours at a time, and a clock someone else moved is brought back.
    struct Anchor {
        SystemTime reading;
        double uptime = 0;
    };

    enum class WaitEnd { Done, Deadline, Stopped };

    RunOutcome Query(const RunRequest& request, bool isRetry);
    // Until done() holds, Windows closes or the monotonic clock passes
    // deadline, in that order of precedence, the window alive meanwhile:
    // every wait of a run is this one.
    WaitEnd Wait(const std::function<bool()>& done, double deadline, const std::function<void()>& tick = {});
    // Waits for the server's turn, the wait on the status line unless quiet.
    // An outcome when the run ends there.
    std::optional<RunOutcome> AwaitTurn(const RunRequest& request, double notBefore, bool quiet);
    // The association of an NTS line with cookies in its jar: from an
    // earlier exchange, or from a key exchange now. An outcome when the run
    // ends there.
    std::optional<RunOutcome> AwaitNtsAssociation(const RunRequest& request, NtsAssociation*& association);
    RunOutcome Compare(const RunRequest& request, const Sample& sample, bool isRetry);
    RunOutcome SetClock(const RunRequest& request, SystemTime serverTime, SystemTime systemTime, bool authenticated);
    // Empty when there is no service to ask.
    std::optional<RunOutcome> SetThroughService(const RunRequest& request);
    // Taken from systemTime, the clock as found, the first time it is needed.
    SystemTime AnchorNow(const SystemTime& systemTime);
    // False, with the socket closed, when the socket reached this computer and
    // that is refused. Decided once a query.
    bool PeerAllowed();
    void Show(RunProgress progress) const;

    RunContext context_;
    QueryPacer pacer_;
    const ProgressSink* progress_ = nullptr;
    bool inProgress_ = false;
    // The query in progress.
    std::unique_ptr<Exchange> exchange_;
    bool started_ = false;  // the exchange has sent what it sends
    std::string reached_;
    bool peerChecked_ = false, reachedThisMachine_ = false;

    // By the line's host and address, for the life of the process.
    std::map<std::string, NtsAssociation> associations_;
    std::optional<Anchor> anchor_;
    // Learnt when the service first stood in: the privilege does not come
    // to a running process, so later runs go straight to the service.
    bool viaService_ = false;
    std::optional<double> lastSettingEnded_;
};
