#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <string_view>

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

// How long one client may take to send its request, and to take its reply.
inline constexpr DWORD kPipeClientTimeoutMs = 5000;

struct FileHandleTraits {
    using Handle = HANDLE;
    static Handle Invalid() { return INVALID_HANDLE_VALUE; }
    static void Close(Handle h) { CloseHandle(h); }
};
using UniqueFile = UniqueHandle<FileHandleTraits>;

// The server end of the time service's pipe: the first and only instance of
// the name, local clients only, byte mode, overlapped, so that every wait
// can also watch for the service being stopped. When the name is already
// taken (by an earlier service still running, or by anyone squatting it)
// there is no pipe, and Error() says why.
class ServicePipe {
public:
    explicit ServicePipe(const std::string& name);
    explicit operator bool() const { return static_cast<bool>(pipe_); }
    DWORD Error() const { return error_; }
    HANDLE get() const { return pipe_.get(); }

private:
    UniqueFile pipe_;
    DWORD error_ = ERROR_SUCCESS;
};

// What the pipe knows of the requests it carries: when one has ended, how
// long one may be (no more than maxBytes + 1 bytes are ever kept, so the
// answer can still tell an oversized request from a whole one), and the
// reply to the bytes a client sent, user naming whom the client runs as.
struct PipeRequests {
    size_t maxBytes = 0;
    bool (*ended)(std::string_view bytes) = nullptr;
    std::function<std::string(std::string_view request, const std::string& user)> answer;
};

// Serves one client after another until stopEvent is signalled: reads a
// request, asks for the answer, writes it, and waits for the client to close
// its end before disconnecting, since a disconnect throws away whatever the
// client has not read yet. A client that takes longer than
// kPipeClientTimeoutMs to send its request, or to take its reply, is cut
// off; one that sends nothing gets nothing. events runs this thread's
// messages during every wait. True when stopped; false, with the code in
// error, when the pipe itself failed.
bool ServeRequests(ServicePipe& pipe, const PipeRequests& requests, HANDLE stopEvent, EventPump& events,
                   DWORD& error);
