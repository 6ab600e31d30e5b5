#include "platform/ServicePipe_win.h"

#include <lmcons.h>
#include <sddl.h>

#include <algorithm>

#include "platform/WideText_win.h"

namespace {

// Room for a whole request and a whole reply: a client's write of either
// then completes without the other side having to read first.
constexpr DWORD kPipeBufferBytes = 4096;

enum class Io { Done, Failed, Stopped, TimedOut };
enum class Client { Served, Stopped, Failed };

// Waits for the overlapped operation behind ov, letting this thread's
// messages run meanwhile; deadline is a GetTickCount64 value, 0 for none.
// An operation given up on is cancelled and waited for, since until it ends
// it may still write into ov and its buffer.
Io Await(HANDLE pipe, OVERLAPPED& ov, HANDLE stop, ULONGLONG deadline, EventPump& events, DWORD& bytes) {
    const HANDLE handles[] = {ov.hEvent, stop};
    for (;;) {
        DWORD waitMs = INFINITE;
        if (deadline != 0) {
            const ULONGLONG now = GetTickCount64();
            waitMs = now >= deadline ? 0 : static_cast<DWORD>(deadline - now);
        }
        const DWORD woke = MsgWaitForMultipleObjects(2, handles, FALSE, waitMs, QS_ALLINPUT);
        if (woke == WAIT_OBJECT_0) break;
        if (woke == WAIT_OBJECT_0 + 2) {
            events.PumpPendingEvents();
            continue;
        }
        CancelIoEx(pipe, &ov);
        GetOverlappedResult(pipe, &ov, &bytes, TRUE);
        if (woke == WAIT_OBJECT_0 + 1) return Io::Stopped;
        return woke == WAIT_TIMEOUT ? Io::TimedOut : Io::Failed;
    }
    return GetOverlappedResult(pipe, &ov, &bytes, FALSE) ? Io::Done : Io::Failed;
}

// Reads into buffer, up to size bytes; Done with bytes set, or why not.
Io Read(HANDLE pipe, OVERLAPPED& ov, char* buffer, DWORD size, HANDLE stop, ULONGLONG deadline, EventPump& events,
        DWORD& bytes) {
    bytes = 0;
    if (!ReadFile(pipe, buffer, size, nullptr, &ov) && GetLastError() != ERROR_IO_PENDING) return Io::Failed;
    return Await(pipe, ov, stop, deadline, events, bytes);
}

// Whom the client runs as; Windows lets a pipe's server ask only after it
// has read from the client. Failed only when the thread could not go back to
// the service's own account, which must end the service.
Client ClientUser(HANDLE pipe, std::string& user) {
    user = "unknown";
    if (!ImpersonateNamedPipeClient(pipe)) return Client::Served;
    // Clients connect at identification level, so the token is only read,
    // and as the service: the client's identity may not act for us.
    HANDLE token = nullptr;
    const bool opened = OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, &token);
    if (!RevertToSelf()) {
        if (opened) CloseHandle(token);
        return Client::Failed;
    }
    if (!opened) return Client::Served;
    const UniqueKernelHandle owned(token);
    alignas(TOKEN_USER) BYTE info[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
    DWORD size = 0;
    if (!GetTokenInformation(token, TokenUser, info, sizeof info, &size)) return Client::Served;
    wchar_t name[UNLEN + 1], domain[UNLEN + 1];
    DWORD nameSize = UNLEN + 1, domainSize = UNLEN + 1;
    SID_NAME_USE use;
    if (LookupAccountSidW(nullptr, reinterpret_cast<TOKEN_USER*>(info)->User.Sid, name, &nameSize, domain,
                          &domainSize, &use))
        user = Utf8FromWide(domain) + "\\" + Utf8FromWide(name);
    return Client::Served;
}

Client ServeClient(HANDLE pipe, OVERLAPPED& ov, const PipeRequests& requests, HANDLE stop, EventPump& events) {
    ULONGLONG deadline = GetTickCount64() + kPipeClientTimeoutMs;
    std::string request;
    char chunk[512];
    DWORD bytes = 0;
    while (request.size() <= requests.maxBytes && !requests.ended(request)) {
        const DWORD room = static_cast<DWORD>(std::min(sizeof chunk, requests.maxBytes + 1 - request.size()));
        const Io io = Read(pipe, ov, chunk, room, stop, deadline, events, bytes);
        if (io == Io::Stopped) return Client::Stopped;
        // Gone, or silent for too long: no reply.
        if (io != Io::Done) return Client::Served;
        request.append(chunk, bytes);
    }

    std::string user;
    if (ClientUser(pipe, user) == Client::Failed) return Client::Failed;
    const std::string reply = requests.answer(request, user);

    deadline = GetTickCount64() + kPipeClientTimeoutMs;
    if (!WriteFile(pipe, reply.data(), static_cast<DWORD>(reply.size()), nullptr, &ov) &&
        GetLastError() != ERROR_IO_PENDING)
        return Client::Served;
    Io io = Await(pipe, ov, stop, deadline, events, bytes);
    // The reply is taken once the client closes its end; whatever else it
    // sends meanwhile goes unread.
    while (io == Io::Done) io = Read(pipe, ov, chunk, sizeof chunk, stop, deadline, events, bytes);
    return io == Io::Stopped ? Client::Stopped : Client::Served;
}

}  // namespace

ServicePipe::ServicePipe(const std::string& name) {
    PSECURITY_DESCRIPTOR sd = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(WideFromUtf8(kServicePipeSddl).c_str(),
                                                              SDDL_REVISION_1, &sd, nullptr)) {
        error_ = GetLastError();
        return;
    }
    SECURITY_ATTRIBUTES sa{sizeof sa, sd, FALSE};
    pipe_.reset(CreateNamedPipeW(WideFromUtf8(name).c_str(),
                                 PIPE_ACCESS_DUPLEX | FILE_FLAG_FIRST_PIPE_INSTANCE | FILE_FLAG_OVERLAPPED,
                                 PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS, 1,
                                 kPipeBufferBytes, kPipeBufferBytes, 0, &sa));
    if (!pipe_) error_ = GetLastError();
    LocalFree(sd);
}

bool ServeRequests(ServicePipe& pipe, const PipeRequests& requests, HANDLE stopEvent, EventPump& events,
                   DWORD& error) {
    // Manual reset, as overlapped calls need: each call resets it as it starts.
    const UniqueKernelHandle done(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!done) {
        error = GetLastError();
        return false;
    }
    const HANDLE h = pipe.get();
    for (;;) {
        OVERLAPPED ov{};
        ov.hEvent = done.get();
        DWORD bytes = 0;
        if (!ConnectNamedPipe(h, &ov)) {
            const DWORD code = GetLastError();
            if (code == ERROR_IO_PENDING) {
                const Io io = Await(h, ov, stopEvent, 0, events, bytes);
                if (io == Io::Stopped) return true;
                if (io != Io::Done) {
                    error = GetLastError();
                    return false;
                }
            } else if (code == ERROR_NO_DATA) {  // came and went before being served
                DisconnectNamedPipe(h);
                continue;
            } else if (code != ERROR_PIPE_CONNECTED) {
                error = code;
                return false;
            }
        }
        const Client served = ServeClient(h, ov, requests, stopEvent, events);
        const DWORD code = GetLastError();
        DisconnectNamedPipe(h);
        if (served == Client::Stopped) return true;
        if (served == Client::Failed) {
            error = code;
            return false;
        }
    }
}
