#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "clock/Sntp.h"
#include "platform/Socket.h"
#include "platform/SystemClock.h"
#include "serverlist/ServerEntry.h"

// What one exchange with a server measured: the server's true time and what
// the system clock read at that same moment.
struct Sample {
    SystemTime serverTime, systemTime;
    // The Time Protocol counts whole seconds: a difference of one second is
    // none, and a larger one is asked once more before it is believed.
    bool wholeSeconds = false;
    std::optional<ClockOffset> ntp;
    // The reply was the server's own: NTS authenticated it.
    bool authenticated = false;
};

// Why an exchange gave no sample.
struct ExchangeFailure {
    enum class Kind { NoResponse, ErrorInData, Overflow, Kiss, NtsNak, NtsUnauthenticated };
    Kind kind = Kind::NoResponse;
    std::string kissCode{};
};

struct ExchangeEnd {
    std::optional<Sample> sample;
    ExchangeFailure failure;  // when there is no sample
};

// One query of one server by one protocol. The run opens the socket, hands
// the exchange the socket's events and closes it; the exchange only says what
// to send and what the bytes it got mean.
class Exchange {
public:
    virtual ~Exchange() = default;
    virtual SocketProtocol Protocol() const = 0;
    virtual uint16_t Port() const = 0;
    // Where to connect instead of the name or address asked, if anywhere.
    virtual std::string Server() const { return {}; }
    // The socket reached the server: what to send now, if anything. The
    // clock is read as it goes.
    virtual std::string Start(const SystemClock& clock) = 0;
    // True when these bytes end the exchange.
    virtual bool Arrived(std::string bytes, const SystemClock& clock) = 0;
    // Once the exchange ended, the socket closed or the wait gave up.
    virtual ExchangeEnd Finish(const SystemClock& clock) = 0;
};

// The Time Protocol's or SNTP's; null for NTS, which needs what its key
// exchange gave (NtsExchange.h).
std::unique_ptr<Exchange> MakeExchange(ServerProtocol protocol);
