#pragma once
#include <memory>
#include <string>
#include <string_view>

#include "platform/EventLog.h"
#include "platform/EventPump.h"
#include "platform/MachineAddresses.h"
#include "platform/Socket.h"
#include "platform/SystemClock.h"
#include "platform/TlsClient.h"

// The one privileged thing the program needs, done for a client that lacks
// the privilege: one synchronisation run against a server of the service's
// own list, with the same exchange and checks as the program's. Nothing in
// a request is a time, nor an offset: the service always asks the server
// itself, sets true time, takes none from this computer, and holds every
// run to the limits of a run nobody watches.
class TimeService {
public:
    // appFolder holds the service's exe and the list it trusts (UTF-8, ends
    // in a separator). builtOn as the program's. ownAddresses and tls must
    // outlive the service; without tls, NTS lines are not asked.
    TimeService(std::string appFolder, ClientSocket& socket, SystemClock& clock, EventPump& events, EventLog& log,
                SystemTime builtOn, const MachineAddresses& ownAddresses, TlsClient* tls = nullptr);
    ~TimeService();

    // The run's socket events go here.
    SocketEventSink& Events();

    // The reply to the bytes one client sent (see SyncRequest.h); user names
    // who the client runs as, for the log. Waits, with events let through,
    // while the run lasts.
    std::string Answer(std::string_view request, const std::string& user);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};
