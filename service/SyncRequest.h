#pragma once
#include <deque>
#include <map>
#include <optional>
#include <string>

#include "pipe/SyncMessages.h"
#include "serverlist/ServerEntry.h"

// The name the service runs under; its pipe's name changes with every start
// (platform/ServiceClient.h).
inline constexpr const char* kServiceName = "VeltranoTime";
// The switch that starts the program's exe as the service.
inline constexpr const char* kServiceSwitch = "/service";

// The first line of list that the request names, if any.
std::optional<size_t> ListedIndex(const SyncRequest& request, const ServerTable& list);

// Why the service will not run a well-formed request, or nothing when it
// will: the server must be a line of the service's own list (host, address
// and protocol alike) and the offset one the offset chooser offers.
std::optional<std::string> RefusalOf(const SyncRequest& request, const ServerTable& list);

// The service's queries of the list's servers, spaced whatever its clients
// ask. A line is one line of the list, host and address together, so that
// asking by name and by address in turn gains nothing; an address is one
// the socket reached, so that two lines of one server share its spacing.
class QueryPacer {
public:
    static constexpr double kMinSeconds = 4.0;
    // The least that SNTP lets a client leave between two queries of one server.
    static constexpr double kMinNtpSeconds = 15.0;
    // Over all servers: a user's automatic runs ask once a minute at most,
    // and a few users at once stay far below this, while anyone who asks
    // for more only makes the service answer busy, not ask more often.
    static constexpr size_t kMaxPerMinute = 12;
    // What a line's last reached address is remembered for: long past any
    // spacing, short enough to keep the memory small under a flood of lines.
    static constexpr double kRememberSeconds = 3600.0;

    // When a query of line asked for at now (monotonic seconds) may go:
    // now, or later when the line, the address it last reached or the
    // service as a whole asked too recently. Empty when that is more than
    // maxWait seconds away.
    std::optional<double> Turn(const std::string& line, bool ntp, double now, double maxWait) const;
    // A query of line made at `at` that reached the address reached (empty
    // when it reached none).
    void Record(const std::string& line, const std::string& reached, double at);

private:
    struct Line {
        double at = 0;
        std::string reached;
    };
    std::map<std::string, Line> lines_;
    std::map<std::string, double> addresses_;  // the last query that reached each
    std::deque<double> lastMinute_;            // every query of the last minute, oldest first
};
