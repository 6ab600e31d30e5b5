#pragma once
#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "clock/Sntp.h"
#include "clock/TimeProtocol.h"
#include "platform/Controls.h"
#include "platform/EventPump.h"
#include "platform/MachineAddresses.h"
#include "platform/ServiceClient.h"
#include "platform/Socket.h"
#include "platform/SystemClock.h"
#include "serverlist/ServerEntry.h"

// The controls of the main window that a run reads and writes.
struct SyncControls {
    TextTarget& lblInfo;
    EnabledTarget& cmdCheckTime;
    EnabledTarget& cmdSynchronize;
    const ChooserIndex& cmbServer;
    const CheckValue& chkUseIP;
};

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

// The question put to the user, in plain words: the server's time, and the
// difference in days, hours and whole minutes.
std::string CorrectionQuestion(const SystemTime& serverTime, int64_t seconds);

// What the rest of the program owns and a run only reads.
struct SyncShared {
    const ServerTable& serverTable;
    const int32_t& offsetMinutes;
    const bool& windowsClosing;
    // UTC midnight of the day this program was built: no true time lies before it.
    SystemTime builtOn;
    // Null where nobody watches: the time service keeps its own limits.
    CorrectionConfirm* confirm;
};

// Who asked for a run: a run nobody watches must not make large corrections,
// and only a person's setting is trusted to say what time it is.
enum class RunBy { User, Automatic };

// What a run that set the clock changed, both UTC.
struct ClockChange {
    SystemTime from, to;
};

// SyncTime's two flags by name, so that a call says what it asks for.
inline constexpr bool kCheckOnly = true;  // compare with the system clock, change nothing
inline constexpr bool kSetClock = false;
// A check that finds a difference asks once more before reporting it; a
// retry reports what it finds.
inline constexpr bool kFirstQuery = false;
inline constexpr bool kRetry = true;

// One query of the selected time server, by the Time Protocol or by SNTP,
// then either a comparison with the system clock or a setting of it.
// Synchronous: while waiting it lets the window's events run, which is also
// how the socket's events reach it.
class SyncRun : public SocketEvents {
public:
    static constexpr double kTimeoutSeconds = 8.0;
    static constexpr uint32_t kPollMilliseconds = 10;
    // Public time services refuse a client that asks more often than this.
    static constexpr double kMinSecondsBetweenQueries = 4.0;
    static constexpr uint32_t kRetryPauseMilliseconds = 500;
    // The least that SNTP lets a client leave between two queries of one server.
    static constexpr double kMinSecondsBetweenNtpQueries = 15.0;
    // Datagrams read in one SNTP exchange at most: a forger cannot end it,
    // and a flood of them costs no more than this.
    static constexpr int kMaxNtpDatagrams = 16;
    // Windows' own time service refuses larger corrections on standalone
    // machines by default; beyond this an automatic run only reports.
    static constexpr int64_t kMaxAutomaticCorrectionSeconds = 15 * 3600;
    static constexpr int64_t kBuildDateGraceSeconds = 24 * 3600;
    // Windows' ERROR_PRIVILEGE_NOT_HELD: the process may not set the clock.
    static constexpr uint32_t kPrivilegeNotHeld = 1314;
    // The time service's run may first wait for its server's turn, then
    // for a reply: longer than one of ours.
    static constexpr double kServiceTimeoutSeconds = 30.0;

    // With a service, a clock this process may not set is set through it.
    // With ownAddresses (the time service's run), a server that turns out to
    // be this computer is refused before anything is sent to it or read.
    SyncRun(SyncControls controls, SyncShared shared, ClientSocket& winsock1, SystemClock& clock, EventPump& events,
            ServiceClient* service = nullptr, const MachineAddresses* ownAddresses = nullptr);

    // Does nothing while another run is in progress.
    void SyncTime(bool CheckOnly, bool IsRetry, RunBy by = RunBy::User);

    bool InProgress() const { return inProgress_; }
    // Monotonic seconds at the end of the last run that set the clock; empty
    // until the first one.
    std::optional<double> LastSyncTimer() const { return lastSyncTimer_; }
    const ReplyBuffer& ReplyData() const { return replyData_; }
    // The server's time of the last reply that decoded, offset applied.
    std::optional<SystemTime> ServerTime() const { return serverTime_; }
    // What the last NTP reply that passed its checks measured.
    std::optional<ClockOffset> NtpOffset() const { return ntpOffset_; }
    // What this process itself changed in the last run; empty when it did not.
    const std::optional<ClockChange>& ClockSet() const { return clockSet_; }
    // The numeric address the last query's socket reached; empty when it
    // reached none.
    const std::string& Reached() const { return reached_; }
    // The last query reached this computer and was refused.
    bool ReachedThisMachine() const { return reachedThisMachine_; }
    // The last run had the server's time and would not set the clock to it:
    // too far from the clock as found, or before this program was built.
    bool RefusedCorrection() const { return refusedCorrection_; }

    void Winsock1_Connect() override;
    void Winsock1_DataArrival(int32_t bytesTotal) override;
    void Winsock1_Close() override;
    void Winsock1_Error(int32_t number, const std::string& description) override;

private:
    // Copied from the table: a list reloaded while the run waits frees the
    // text that the table's entries point into.
    struct Choice {
        std::string server;  // the name or address asked
        std::string host, address;
        ServerProtocol protocol = ServerProtocol::Time;
    };
    // A clock reading and the uptime it was taken at: what the clock should
    // read now, as far as this process knows, without any server's say. Automatic settings are held to it, so that a server
    // cannot walk the clock 15 hours at a time, and a clock someone else
    // moved is brought back.
    struct Anchor {
        SystemTime reading;
        double uptime = 0;
    };
    // One SNTP exchange: what was sent, when, and the datagram that decides.
    struct NtpExchange {
        NtpTimestamp transmit = 0;
        SystemTime sentAt;
        double sentAtMonotonic = 0;
        bool sent = false;
        int datagrams = 0;  // read so far that did not echo the request
        std::optional<std::string> reply;
        double replyAtMonotonic = 0;
    };

    void Run(bool checkOnly, bool isRetry, RunBy by);
    void RunNtp(const Choice& choice, bool checkOnly, RunBy by);
    // Each step below reports on lblInfo why a run ends there.
    std::optional<Choice> ChooseServer();
    // Connects; the monotonic seconds at which the query started.
    std::optional<double> StartQuery(const std::string& server, SocketProtocol protocol, uint16_t port);
    bool AwaitReply();
    // The server's time now, offset applied.
    std::optional<SystemTime> ServerTimeFromReply();
    // False when the difference is to be checked once more before it is reported.
    bool ReportCheck(const SystemTime& serverTime, const SystemTime& systemTime, bool isRetry);
    // False when the server told us to stop, or the wait for its turn was cut short.
    bool AwaitNtpTurn(const Choice& choice);
    // What to add to the system clock, in milliseconds.
    std::optional<int64_t> NtpOffsetFromReply(const Choice& choice);
    void PauseBeforeFurtherCheck(double queryStarted);
    // Copies: a question the user takes time over moves both on.
    void SetClock(const Choice& choice, SystemTime serverTime, SystemTime systemTime, RunBy by);
    // False, with nothing shown, when there is no service to ask; true when
    // the run ends with what the service said, or that it did not answer.
    bool SetThroughService(const Choice& choice, RunBy by, double turn);
    // Taken from systemTime, the clock as found, the first time it is needed.
    SystemTime AnchorNow(const SystemTime& systemTime);
    // False, with the socket closed and the reason shown, when the socket
    // reached this computer and that is refused. Decided once a query.
    bool PeerAllowed();
    // Waits until the monotonic clock reaches turn, the window alive and,
    // unless server is empty, the seconds left on the status line. False
    // when the window closed meanwhile.
    bool WaitForTurn(double turn, const std::string& server);
    void Finish();

    SyncControls controls_;
    SyncShared shared_;
    ClientSocket& winsock1_;
    SystemClock& clock_;
    EventPump& events_;
    ServiceClient* service_;
    const MachineAddresses* ownAddresses_;
    std::optional<Anchor> anchor_;
    // Learnt when the service first stood in: the privilege does not come
    // to a running process, so later runs go straight to the service.
    bool viaService_ = false;
    std::optional<ClockChange> clockSet_;
    double queryStarted_ = 0;  // monotonic seconds at the last connect
    std::string reached_;
    bool peerChecked_ = false, reachedThisMachine_ = false;
    bool refusedCorrection_ = false;
    ReplyBuffer replyData_;
    double replyArrivedAt_ = 0;  // monotonic seconds of the last bytes received
    std::optional<double> lastSyncTimer_;
    std::optional<SystemTime> serverTime_;
    bool inProgress_ = false;
    bool ntp_ = false;  // the run in progress speaks SNTP
    NtpExchange exchange_;
    std::optional<ClockOffset> ntpOffset_;
    // By host name and by address, so that ticking "use IP" does not get round them.
    std::map<std::string, std::string> kissCodes_;  // for the rest of the program's life
    std::map<std::string, double> lastNtpQuery_;    // monotonic seconds, the last 15 s only
};
