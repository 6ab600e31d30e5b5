#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/EventPump.h"
#include "platform/UniqueHandle_win.h"

// Who may open the service's pipe: LocalService, which the service runs as,
// everything; interactive users only read, write data and wait
// (FILE_GENERIC_READ | FILE_WRITE_DATA). Without FILE_APPEND_DATA, which on
// a pipe means creating an instance, nobody else can serve a second instance
// under the name, and without WRITE_DAC nobody can open it up. Protected, so
// nothing inherits its way in; anyone else has no entry and no access.
// Owned by LocalService, which no user's process can name as an owner: the
// program takes only such a pipe for the service.
inline constexpr const char* kServicePipeSddl = "O:LSD:P(A;;FA;;;LS)(A;;0x12008b;;;IU)";

// How much of the service one client, one user and all of them together may
// hold, so that nobody can keep everyone else out.
struct PipeLimits {
    // Clients connected at once; one more finds the pipe busy and retries.
    DWORD instances = 8;
    // A client that has sent nothing this long after connecting is cut off,
    // and so is one whose whole request takes longer than requestMs, or
    // which leaves its reply untaken that long.
    DWORD firstByteMs = 1000;
    DWORD requestMs = 5000;
    // Requests of one account (by SID) from their first bytes to their
    // reply; more of them are answered busy.
    size_t perUser = 2;
    // Whole requests waiting while another runs; more are answered busy.
    size_t waiting = 6;
    // A request whose run has not begun this long after its client
    // connected is answered busy: with the run's own time-outs after it, a
    // reply then still reaches a program that waits 30 s.
    DWORD startWithinMs = 12000;
};

// kServicePipePrefix and 32 hex digits from the system's random number
// generator; empty when it gave none.
std::string RandomServicePipeName();

// The server end of the time service's pipe: every instance it will ever
// have, created at once, the first with FILE_FLAG_FIRST_PIPE_INSTANCE, local
// clients only, byte mode, overlapped. When the name is already taken there
// is no pipe, and Error() says why.
class ServicePipe {
public:
    ServicePipe(const std::string& name, DWORD instances);
    explicit operator bool() const { return !instances_.empty(); }
    DWORD Error() const { return error_; }
    const std::vector<UniqueFileHandle>& Instances() const { return instances_; }

private:
    std::vector<UniqueFileHandle> instances_;
    DWORD error_ = ERROR_SUCCESS;
};

// What the pipe knows of the requests it carries: when one has ended, how
// long one may be (no more than maxBytes + 1 bytes are ever kept, so the
// answer can still tell an oversized request from a whole one), the reply
// to the bytes a client sent, user naming whom the client runs as, and the
// replies to a client over a limit and to one whose account is not known.
struct PipeRequests {
    size_t maxBytes = 0;
    bool (*ended)(std::string_view bytes) = nullptr;
    std::function<std::string(std::string_view request, const std::string& user)> answer;
    std::string busy;
    std::string refused;
};

// Serves the pipe until stopEvent is signalled. Each instance has a thread
// of its own that connects a client, reads its request, learns its account
// and writes its reply, then waits for the client to close its end before
// disconnecting, since a disconnect throws away whatever the client has not
// read yet. Only the answers are made one at a time, on the calling thread,
// whose messages events runs meanwhile. A client that sends nothing gets
// nothing. True when stopped; false, with the code in error, when the pipe
// failed.
bool ServeRequests(const ServicePipe& pipe, const PipeRequests& requests, const PipeLimits& limits, HANDLE stopEvent,
                   EventPump& events, DWORD& error);
