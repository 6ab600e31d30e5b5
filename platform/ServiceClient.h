#pragma once
#include <optional>
#include <string>
#include <string_view>

// The program's end of the time service's pipe: one request, one reply.
// Nothing here waits; the run polls while the window's events go on.
class ServiceClient {
public:
    enum class Sent { Sent, Busy, NoService };
    virtual ~ServiceClient() = default;
    // Connects and writes the request. Busy: another client is being
    // served, try again shortly. NoService: nothing listens, or not for us.
    virtual Sent Send(std::string_view request) = 0;
    // The reply once the service has ended it; nothing while it may still
    // come. At most a bounded number of bytes is ever kept.
    virtual std::optional<std::string> Reply() = 0;
    virtual void Close() = 0;
};
