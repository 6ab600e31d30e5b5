#include "platform/ServicePipe_win.h"

#include <lmcons.h>
#include <ntsecapi.h>
#include <sddl.h>

#include <algorithm>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>

#include "platform/ServiceClient.h"
#include "platform/WideText_win.h"

namespace {

// Room for a whole request and a whole reply: a client's write of either
// then completes without the other side having to read first.
constexpr DWORD kPipeBufferBytes = 4096;

enum class Io { Done, Failed, Stopped, TimedOut };
enum class Client { Served, Stopped, Failed };

// Milliseconds until deadline, a GetTickCount64 value; 0 for none.
DWORD MsUntil(ULONGLONG deadline) {
    if (deadline == 0) return INFINITE;
    const ULONGLONG now = GetTickCount64();
    return now >= deadline ? 0 : static_cast<DWORD>(deadline - now);
}

// Waits for the overlapped operation behind ov. An operation given up on is
// cancelled and waited for, since until it ends it may still write into ov
// and its buffer.
Io Await(HANDLE pipe, OVERLAPPED& ov, HANDLE quit, ULONGLONG deadline, DWORD& bytes) {
    const HANDLE handles[] = {ov.hEvent, quit};
    const DWORD woke = WaitForMultipleObjects(2, handles, FALSE, MsUntil(deadline));
    if (woke == WAIT_OBJECT_0) return GetOverlappedResult(pipe, &ov, &bytes, FALSE) ? Io::Done : Io::Failed;
    CancelIoEx(pipe, &ov);
    GetOverlappedResult(pipe, &ov, &bytes, TRUE);
    if (woke == WAIT_OBJECT_0 + 1) return Io::Stopped;
    return woke == WAIT_TIMEOUT ? Io::TimedOut : Io::Failed;
}

// Reads into buffer, up to size bytes; Done with bytes set, or why not.
Io Read(HANDLE pipe, OVERLAPPED& ov, char* buffer, DWORD size, HANDLE quit, ULONGLONG deadline, DWORD& bytes) {
    bytes = 0;
    if (!ReadFile(pipe, buffer, size, nullptr, &ov) && GetLastError() != ERROR_IO_PENDING) return Io::Failed;
    return Await(pipe, ov, quit, deadline, bytes);
}

// A request on its way to the one thread that runs them.
struct Job {
    std::string request, user;
    std::string reply;  // written by the running thread before done is set
    UniqueKernelHandle done{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
};

// The requests waiting to run, and how many each account has under way;
// the instances' threads and the running thread share it.
class RunQueue {
public:
    explicit RunQueue(const PipeLimits& limits) : limits_(limits) {}
    HANDLE Ready() const { return ready_.get(); }

    // Counts one more request of the account sid, unless it has as many as
    // it may; Release counts it off again.
    bool Admit(const std::string& sid) {
        const std::lock_guard lock(mutex_);
        size_t& count = perUser_[sid];
        if (count >= limits_.perUser) return false;
        ++count;
        return true;
    }
    void Release(const std::string& sid) {
        const std::lock_guard lock(mutex_);
        if (--perUser_[sid] == 0) perUser_.erase(sid);
    }
    bool Submit(const std::shared_ptr<Job>& job) {
        const std::lock_guard lock(mutex_);
        if (waiting_.size() >= limits_.waiting) return false;
        waiting_.push_back(job);
        SetEvent(ready_.get());
        return true;
    }
    // The oldest request waiting, now taken to run; null when none waits.
    std::shared_ptr<Job> Take() {
        const std::lock_guard lock(mutex_);
        if (waiting_.empty()) return nullptr;
        std::shared_ptr<Job> job = std::move(waiting_.front());
        waiting_.pop_front();
        return job;
    }
    // False when the request has already been taken to run.
    bool Withdraw(const std::shared_ptr<Job>& job) {
        const std::lock_guard lock(mutex_);
        const auto it = std::find(waiting_.begin(), waiting_.end(), job);
        if (it == waiting_.end()) return false;
        waiting_.erase(it);
        return true;
    }

private:
    const PipeLimits& limits_;
    UniqueKernelHandle ready_{CreateEventW(nullptr, FALSE, FALSE, nullptr)};  // auto reset
    std::mutex mutex_;
    std::deque<std::shared_ptr<Job>> waiting_;
    std::map<std::string, size_t> perUser_;
};

// What the instances' threads and the running thread share.
struct Serving {
    Serving(const PipeRequests& r, const PipeLimits& l) : requests(r), limits(l), queue(l) {}

    const PipeRequests& requests;
    const PipeLimits& limits;
    RunQueue queue;
    // Manual reset: set once, every instance's thread sees it.
    UniqueKernelHandle quit{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    UniqueKernelHandle failed{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    std::mutex mutex;
    DWORD error = NO_ERROR;

    void Fail(DWORD code) {
        const std::lock_guard lock(mutex);
        if (error == NO_ERROR) error = code != NO_ERROR ? code : ERROR_BROKEN_PIPE;
        SetEvent(failed.get());
    }
};

// The client's account, for the limits (sid) and for the log (name).
struct Caller {
    std::string sid;
    std::string name;  // "PC\alice (S-1-5-21-..., session 1)"
};
enum class Identity { Known, Unknown, Lost };

// Whom the client runs as; Windows lets a pipe's server ask only after it
// has read from the client. Unknown for a client that connected at anonymous
// level, or as the anonymous account: nobody answers for what it asks. Lost
// when the thread could not go back to the service's own account, which
// must end the service.
Identity IdentifyClient(HANDLE pipe, Caller& caller) {
    if (!ImpersonateNamedPipeClient(pipe)) return Identity::Unknown;
    // Clients connect at identification level, so the token is only read,
    // and as the service: the client's identity may not act for us.
    HANDLE token = nullptr;
    const bool opened = OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, &token);
    if (!RevertToSelf()) {
        if (opened) CloseHandle(token);
        return Identity::Lost;
    }
    if (!opened) return Identity::Unknown;
    const UniqueKernelHandle owned(token);
    alignas(TOKEN_USER) BYTE info[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
    DWORD size = 0, session = 0;
    if (!GetTokenInformation(token, TokenUser, info, sizeof info, &size) ||
        !GetTokenInformation(token, TokenSessionId, &session, sizeof session, &size))
        return Identity::Unknown;
    const PSID sid = reinterpret_cast<TOKEN_USER*>(info)->User.Sid;
    wchar_t* sidText = nullptr;
    if (IsWellKnownSid(sid, WinAnonymousSid) || !ConvertSidToStringSidW(sid, &sidText)) return Identity::Unknown;
    caller.sid = Utf8FromWide(sidText);
    LocalFree(sidText);
    wchar_t name[UNLEN + 1], domain[DNLEN + 1];
    DWORD nameSize = UNLEN + 1, domainSize = DNLEN + 1;
    SID_NAME_USE use;
    // A deleted account still has its SID, which says enough.
    const std::string account = LookupAccountSidW(nullptr, sid, name, &nameSize, domain, &domainSize, &use)
                                    ? Utf8FromWide(domain) + "\\" + Utf8FromWide(name)
                                    : "an account without a name";
    caller.name = account + " (" + caller.sid + ", session " + std::to_string(session) + ")";
    return Identity::Known;
}

// Writes reply and waits, until deadline, for the client to close its end;
// whatever else it sends meanwhile goes unread.
Client WriteReply(HANDLE pipe, OVERLAPPED& ov, const std::string& reply, HANDLE quit, ULONGLONG deadline) {
    DWORD bytes = 0;
    if (!WriteFile(pipe, reply.data(), static_cast<DWORD>(reply.size()), nullptr, &ov) &&
        GetLastError() != ERROR_IO_PENDING)
        return Client::Served;
    Io io = Await(pipe, ov, quit, deadline, bytes);
    char chunk[512];
    while (io == Io::Done) io = Read(pipe, ov, chunk, sizeof chunk, quit, deadline, bytes);
    return io == Io::Stopped ? Client::Stopped : Client::Served;
}

// The reply to a whole request of caller: the run's, or busy when too many
// wait or its turn does not come in time. Nothing when the service stops.
std::optional<std::string> RunReply(Serving& s, std::string request, const Caller& caller, ULONGLONG connected) {
    auto job = std::make_shared<Job>();
    job->request = std::move(request);
    job->user = caller.name;
    if (!job->done || !s.queue.Submit(job)) return s.requests.busy;
    const HANDLE handles[] = {job->done.get(), s.quit.get()};
    DWORD woke = WaitForMultipleObjects(2, handles, FALSE, MsUntil(connected + s.limits.startWithinMs));
    // Once it runs it is waited for: its own time-outs end it.
    if (woke == WAIT_TIMEOUT && s.queue.Withdraw(job)) return s.requests.busy;
    if (woke == WAIT_TIMEOUT) woke = WaitForMultipleObjects(2, handles, FALSE, INFINITE);
    if (woke != WAIT_OBJECT_0) return std::nullopt;
    return job->reply;
}

Client ServeClient(HANDLE pipe, OVERLAPPED& ov, Serving& s) {
    const ULONGLONG connected = GetTickCount64();
    const ULONGLONG whole = connected + s.limits.requestMs;
    const HANDLE quit = s.quit.get();
    std::string request;
    char chunk[512];
    DWORD bytes = 0;
    // Appends what the client sends next; Done, or why the client gets no reply.
    const auto readMore = [&](ULONGLONG deadline) {
        const DWORD room = static_cast<DWORD>(std::min(sizeof chunk, s.requests.maxBytes + 1 - request.size()));
        const Io io = Read(pipe, ov, chunk, room, quit, deadline, bytes);
        if (io == Io::Done) request.append(chunk, bytes);
        return io;
    };
    const auto reply = [&](const std::string& text) {
        return WriteReply(pipe, ov, text, quit, GetTickCount64() + s.limits.requestMs);
    };
    // A client that connects and says nothing holds its instance this long only.
    Io io = readMore(std::min(whole, connected + s.limits.firstByteMs));
    if (io != Io::Done) return io == Io::Stopped ? Client::Stopped : Client::Served;

    Caller caller;
    switch (IdentifyClient(pipe, caller)) {
    case Identity::Lost: return Client::Failed;
    case Identity::Unknown: return reply(s.requests.refused);
    case Identity::Known: break;
    }
    if (!s.queue.Admit(caller.sid)) return reply(s.requests.busy);
    struct Counted {
        RunQueue& queue;
        const std::string& sid;
        ~Counted() { queue.Release(sid); }
    } counted{s.queue, caller.sid};

    while (request.size() <= s.requests.maxBytes && !s.requests.ended(request)) {
        io = readMore(whole);
        if (io != Io::Done) return io == Io::Stopped ? Client::Stopped : Client::Served;
    }
    const std::optional<std::string> answer = RunReply(s, std::move(request), caller, connected);
    return answer ? reply(*answer) : Client::Stopped;
}

struct Instance {
    HANDLE pipe;
    Serving* serving;
};

// One instance's clients, one after another, until the pipe quits or fails.
DWORD WINAPI ServeInstance(LPVOID context) {
    const auto [pipe, serving] = *static_cast<Instance*>(context);
    Serving& s = *serving;
    // Manual reset, as overlapped calls need: each call resets it as it starts.
    const UniqueKernelHandle done(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!done) {
        s.Fail(GetLastError());
        return 0;
    }
    for (;;) {
        OVERLAPPED ov{};
        ov.hEvent = done.get();
        DWORD bytes = 0;
        if (!ConnectNamedPipe(pipe, &ov)) {
            const DWORD code = GetLastError();
            if (code == ERROR_IO_PENDING) {
                const Io io = Await(pipe, ov, s.quit.get(), 0, bytes);
                if (io == Io::Stopped) return 0;
                if (io != Io::Done) {
                    s.Fail(GetLastError());
                    return 0;
                }
            } else if (code == ERROR_NO_DATA) {  // came and went before being served
                DisconnectNamedPipe(pipe);
                continue;
            } else if (code != ERROR_PIPE_CONNECTED) {
                s.Fail(code);
                return 0;
            }
        }
        const Client served = ServeClient(pipe, ov, s);
        const DWORD code = GetLastError();
        DisconnectNamedPipe(pipe);
        if (served == Client::Stopped) return 0;
        if (served == Client::Failed) {
            s.Fail(code);
            return 0;
        }
    }
}

}  // namespace

std::string RandomServicePipeName() {
    unsigned char bytes[16];
    if (!RtlGenRandom(bytes, sizeof bytes)) return {};
    constexpr char kHex[] = "0123456789abcdef";
    std::string name = kServicePipePrefix;
    for (const unsigned char b : bytes) {
        name += kHex[b >> 4];
        name += kHex[b & 0xF];
    }
    return name;
}

ServicePipe::ServicePipe(const std::string& name, DWORD instances) {
    PSECURITY_DESCRIPTOR sd = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(WideFromUtf8(kServicePipeSddl).c_str(),
                                                              SDDL_REVISION_1, &sd, nullptr)) {
        error_ = GetLastError();
        return;
    }
    SECURITY_ATTRIBUTES sa{sizeof sa, sd, FALSE};
    const std::wstring wide = WideFromUtf8(name);
    for (DWORD i = 0; i < instances; ++i) {
        // The first fails when anyone holds the name already, rather than
        // joining their pipe as one more instance.
        const DWORD first = i == 0 ? FILE_FLAG_FIRST_PIPE_INSTANCE : 0;
        UniqueFileHandle instance(CreateNamedPipeW(wide.c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED | first,
                                             PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT |
                                                 PIPE_REJECT_REMOTE_CLIENTS,
                                             instances, kPipeBufferBytes, kPipeBufferBytes, 0, &sa));
        if (!instance) {
            error_ = GetLastError();
            instances_.clear();
            break;
        }
        instances_.push_back(std::move(instance));
    }
    LocalFree(sd);
}

bool ServeRequests(const ServicePipe& pipe, const PipeRequests& requests, const PipeLimits& limits, HANDLE stopEvent,
                   EventPump& events, DWORD& error) {
    Serving s(requests, limits);
    if (!s.quit || !s.failed || !s.queue.Ready()) {
        error = GetLastError();
        return false;
    }
    std::vector<Instance> instances;
    for (const UniqueFileHandle& instance : pipe.Instances()) instances.push_back({instance.get(), &s});
    std::vector<UniqueKernelHandle> threads;
    for (Instance& instance : instances) {
        threads.emplace_back(CreateThread(nullptr, 0, ServeInstance, &instance, 0, nullptr));
        if (!threads.back()) s.Fail(GetLastError());
    }

    bool stopped = false;
    const HANDLE handles[] = {stopEvent, s.failed.get(), s.queue.Ready()};
    while (!stopped && WaitForSingleObject(s.failed.get(), 0) != WAIT_OBJECT_0) {
        const DWORD woke = MsgWaitForMultipleObjects(3, handles, FALSE, INFINITE, QS_ALLINPUT);
        if (woke == WAIT_OBJECT_0) {
            stopped = true;
        } else if (woke == WAIT_OBJECT_0 + 2) {
            // A stop waits for the run under way, not for those behind it.
            while (const std::shared_ptr<Job> job = s.queue.Take()) {
                job->reply = requests.answer(job->request, job->user);
                SetEvent(job->done.get());
                if (WaitForSingleObject(stopEvent, 0) == WAIT_OBJECT_0) break;
            }
        } else if (woke == WAIT_OBJECT_0 + 3) {
            events.PumpPendingEvents();
        } else if (woke != WAIT_OBJECT_0 + 1) {
            s.Fail(GetLastError());
        }
    }
    SetEvent(s.quit.get());
    for (const UniqueKernelHandle& thread : threads)
        if (thread) WaitForSingleObject(thread.get(), INFINITE);
    error = s.error;
    return stopped;
}
