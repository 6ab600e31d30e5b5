#pragma once
#include <optional>
#include <string>
#include <string_view>

// Where the program finds the time service. The service names its pipe
// afresh at every start (kServicePipePrefix and 32 random hex digits), so
// that nobody can take the name before it, and publishes the whole name as
// the value kServicePipeValue of HKLM\kServiceKey, which only SYSTEM,
// administrators and the service's account may write. No value: no service.
inline constexpr const char* kServicePipePrefix = R"(\\.\pipe\Veltrano.TimeService.)";
inline constexpr const char* kServiceKey = R"(SOFTWARE\Veltrano\TimeService)";
inline constexpr const char* kServicePipeValue = "Pipe";

// The program's end of the time service's pipe: one request, one reply.
// Nothing here waits; the run polls while the window's events go on.
class ServiceClient {
public:
    enum class Sent { Sent, Busy, NoService };
    virtual ~ServiceClient() = default;
    // Connects and writes the request. Busy: the service has as many clients
    // as it takes, try again shortly. NoService: nothing listens, or whatever
    // listens is not the service.
    virtual Sent Send(std::string_view request) = 0;
    // The reply once the service has ended it; nothing while it may still
    // come. At most a bounded number of bytes is ever kept.
    virtual std::optional<std::string> Reply() = 0;
    virtual void Close() = 0;
};
