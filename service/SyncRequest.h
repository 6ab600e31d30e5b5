#pragma once
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "serverlist/ServerEntry.h"

// What a program asks of the time service: one synchronisation run against
// one server of the list, with the options the window would use. The
// service never takes a time from a request, only where to ask for one.
//
// On the pipe it is four lines of text, each ending in LF, in this order:
//   veltrano-sync 1
//   server HOST|ADDRESS
//   options USE-ADDRESS PROTOCOL OFFSET BY   (0 or 1, time or ntp, minutes, user or auto)
//   end
// and nothing after. Anything else is malformed.
struct SyncRequest {
    std::string host, address;
    bool useAddress = false;
    bool ntp = false;
    int32_t offsetMinutes = 0;
    // A run nobody watches is held to the smaller corrections, there too.
    bool automatic = false;
    bool operator==(const SyncRequest&) const = default;
};

// The pipe the service listens on, and the name it runs under.
inline constexpr const char* kServicePipeName = R"(\\.\pipe\Veltrano.TimeService)";
inline constexpr const char* kServiceName = "VeltranoTime";
// The switch that starts the program's exe as the service.
inline constexpr const char* kServiceSwitch = "/service";

// No request is longer; the service reads no more than this.
inline constexpr size_t kMaxRequestBytes = 600;

std::string FormatRequest(const SyncRequest& request);
std::optional<SyncRequest> ParseRequest(std::string_view bytes);
// True once bytes read so far hold a whole request, or more than any may
// be: the service reads no further then.
bool RequestEnded(std::string_view bytes);

// What the service did with a request, in the same kind of four lines:
//   veltrano-sync 1
//   result set|failed|refused
//   text STATUS-LINE      (the run's own text; for refused, why)
//   end
struct SyncReply {
    enum class Result { Set, Failed, Refused };
    Result result = Result::Refused;
    std::string text;
    bool operator==(const SyncReply&) const = default;
};
inline constexpr size_t kMaxReplyBytes = 1024;
std::string FormatReply(const SyncReply& reply);
std::optional<SyncReply> ParseReply(std::string_view bytes);

// The first line of list that the request names, if any.
std::optional<size_t> ListedIndex(const SyncRequest& request, const ServerTable& list);

// Why the service will not run a well-formed request, or nothing when it
// will: the server must be a line of the service's own list (host, address
// and protocol alike) and the offset one the offset chooser offers.
std::optional<std::string> RefusalOf(const SyncRequest& request, const ServerTable& list);

// At most one query to a server every kMinSeconds, whatever the clients ask.
class QueryPacer {
public:
    static constexpr double kMinSeconds = 4.0;
    // When a query of server asked for at now (monotonic seconds) may go:
    // now, or later when the server was asked less than kMinSeconds ago. The
    // query is counted as made then.
    double Book(const std::string& server, double now);

private:
    std::map<std::string, double> last_;
};
