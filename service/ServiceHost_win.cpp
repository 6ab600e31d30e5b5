#include "service/ServiceHost_win.h"

#include <winsock2.h>
#include <windows.h>

#include <mutex>

#include "pipe/SyncMessages.h"
#include "platform/EventLog_win.h"
#include "platform/EventPump_win.h"
#include "platform/FileAccess.h"
#include "platform/MachineAddresses_win.h"
#include "platform/Process.h"
#include "platform/ServiceClient.h"
#include "platform/ServicePipe_win.h"
#include "platform/Socket_win.h"
#include "platform/SystemClock_win.h"
#include "platform/SystemMessage_win.h"
#include "platform/TlsClient_win.h"
#include "platform/UniqueHandle_win.h"
#include "platform/WideText_win.h"
#include "resources/BuiltOn.h"
#include "service/SyncRequest.h"
#include "service/TimeService.h"
#include "settings/AppFolder.h"

namespace {

// A run under way is finished before the pipe sees the stop; its own
// time-outs keep it well within this.
constexpr DWORD kStopWaitHintMs = 20000;

// What the service control manager is told, from ServiceMain's thread and
// from the control handler's (the dispatcher's) alike.
class ServiceStatus {
public:
    explicit ServiceStatus(SERVICE_STATUS_HANDLE handle) : handle_(handle) {}

    void Report(DWORD state, DWORD exitCode = NO_ERROR, DWORD waitHintMs = 0) {
        const std::lock_guard lock(mutex_);
        status_.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
        status_.dwCurrentState = state;
        status_.dwControlsAccepted = state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN : 0;
        status_.dwWin32ExitCode = exitCode;
        status_.dwWaitHint = waitHintMs;
        const bool pending = state == SERVICE_START_PENDING || state == SERVICE_STOP_PENDING;
        status_.dwCheckPoint = pending ? status_.dwCheckPoint + 1 : 0;
        SetServiceStatus(handle_, &status_);
    }

private:
    SERVICE_STATUS_HANDLE handle_;
    SERVICE_STATUS status_{};
    std::mutex mutex_;
};

struct ServiceControls {
    ServiceStatus* status = nullptr;
    HANDLE stop = nullptr;  // owned by ServiceMain
};

DWORD WINAPI ServiceControl(DWORD control, DWORD, LPVOID, LPVOID context) {
    auto& controls = *static_cast<ServiceControls*>(context);
    switch (control) {
    case SERVICE_CONTROL_STOP:
    case SERVICE_CONTROL_SHUTDOWN:
        if (controls.status) controls.status->Report(SERVICE_STOP_PENDING, NO_ERROR, kStopWaitHintMs);
        SetEvent(controls.stop);
        return NO_ERROR;
    case SERVICE_CONTROL_INTERROGATE:
        return NO_ERROR;
    default:
        return ERROR_CALL_NOT_IMPLEMENTED;
    }
}

std::string ErrorText(DWORD code) { return SystemMessage(code) + " (" + std::to_string(code) + ")"; }

// Whoever may change the exe, or the folder where the list of servers it
// trusts lies, could have the service run their own program or servers as
// LocalService: it does not start from there. Stopping is the setup's job
// to prevent; the log tells an administrator which one and why.
DWORD RefuseWritableByOthers(Win32EventLog& log) {
    if (!FileAccessListsKept()) {
        log.Report("Veltrano's time service runs on a system that keeps no access lists on files: it cannot tell "
                   "who may change its folder and program, and starts without knowing.");
        return NO_ERROR;
    }
    const std::string exe = RunningExePath();
    std::string folder = AppFolderFromExePath(exe);
    if (folder.size() > 3) folder.pop_back();  // "C:\Program Files\Veltrano", but "C:\"
    const std::pair<const char*, const std::string&> paths[] = {{"its folder", folder}, {"its program", exe}};
    for (const auto& [what, path] : paths) {
        if (WritableOnlyByAdministrators(path)) continue;
        log.ReportError(std::string("Veltrano's time service does not start: ") + what + ", " + path +
                        ", may be changed by others than administrators, or who may change it cannot be read. "
                        "Whoever can change it could have the service set the clock from a server of theirs, or "
                        "run a program of theirs. Install Veltrano with its setup, which protects its folder.");
        return ERROR_ACCESS_DENIED;
    }
    return NO_ERROR;
}

// Where the program looks for the pipe: the key the setup made, which only
// SYSTEM, administrators and the service's account may write. Never created
// here: a key made by anyone else might be theirs to write.
DWORD PublishPipeName(const std::string& name) {
    HKEY key = nullptr;
    LSTATUS status =
        RegOpenKeyExW(HKEY_LOCAL_MACHINE, WideFromUtf8(kServiceKey).c_str(), 0, KEY_SET_VALUE, &key);
    if (status != ERROR_SUCCESS) return static_cast<DWORD>(status);
    const UniqueHkey owned(key);
    const std::wstring value = WideFromUtf8(name);
    status = RegSetValueExW(key, WideFromUtf8(kServicePipeValue).c_str(), 0, REG_SZ,
                            reinterpret_cast<const BYTE*>(value.c_str()),
                            static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    return static_cast<DWORD>(status);
}

// Everything the service does between starting and stopping; the exit code
// it stops with. The service and its socket live on this thread: the
// socket's window does, and the runs pump its messages here; the pipe's
// clients are served meanwhile on threads of their own.
DWORD Serve(ServiceStatus& status, HANDLE stop) {
    Win32EventLog log;
    if (const DWORD refused = RefuseWritableByOthers(log)) return refused;
    // A name nobody can know before this start: nobody can take it first.
    const std::string pipeName = RandomServicePipeName();
    const PipeLimits limits;
    const ServicePipe pipe(pipeName, limits.instances);
    if (!pipe) {
        log.ReportError("Veltrano's time service could not create its pipe " + pipeName + ": " +
                        ErrorText(pipe.Error()) + ". The service stops.");
        return pipe.Error();
    }
    if (const DWORD published = PublishPipeName(pipeName)) {
        log.ReportError(std::string("Veltrano's time service could not publish the name of its pipe in HKLM\\") +
                        kServiceKey + ": " + ErrorText(published) + ". Reinstalling Veltrano creates the key. "
                        "The service stops.");
        return published;
    }
    Win32Socket socket;
    Win32SystemClock clock;
    Win32EventPump events;
    const Win32MachineAddresses ownAddresses;
    Win32TlsClient tls;
    TimeService service(InitAppFolder(), socket, clock, events, log, BuiltOn(), ownAddresses, &tls);
    socket.SetEvents(&service.Events());
    status.Report(SERVICE_RUNNING);

    const PipeRequests requests{kMaxRequestBytes, RequestEnded,
                                [&service](std::string_view request, const std::string& user) {
                                    return service.Answer(request, user);
                                },
                                FormatReply({SyncReply::Result::Busy, "the time service is busy, try again later"}),
                                FormatReply({SyncReply::Result::Refused, "the time service could not tell who asked"})};
    DWORD error = NO_ERROR;
    const bool stopped = ServeRequests(pipe, requests, limits, stop, events, error);
    socket.SetEvents(nullptr);  // the service goes first
    // The name leads nowhere now; the next start publishes its own.
    RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, WideFromUtf8(kServiceKey).c_str(), WideFromUtf8(kServicePipeValue).c_str());
    if (stopped) return NO_ERROR;
    log.ReportError("Veltrano's time service stops: its pipe failed: " + ErrorText(error) + ".");
    return error != NO_ERROR ? error : ERROR_BROKEN_PIPE;
}

void WINAPI ServiceMain(DWORD, LPWSTR*) {
    const UniqueKernelHandle stop(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    ServiceControls controls{nullptr, stop.get()};
    const SERVICE_STATUS_HANDLE handle =
        RegisterServiceCtrlHandlerExW(WideFromUtf8(kServiceName).c_str(), ServiceControl, &controls);
    if (!handle) return;
    ServiceStatus status(handle);
    controls.status = &status;
    if (!stop) return status.Report(SERVICE_STOPPED, GetLastError());
    status.Report(SERVICE_START_PENDING, NO_ERROR, 5000);
    const DWORD exitCode = Serve(status, stop.get());
    status.Report(SERVICE_STOPPED, exitCode);
}

}  // namespace

int RunTimeService() {
    std::wstring name = WideFromUtf8(kServiceName);
    const SERVICE_TABLE_ENTRYW table[] = {{name.data(), ServiceMain}, {nullptr, nullptr}};
    // Started by hand there is no manager to connect to; there is no window
    // to say so in either.
    return StartServiceCtrlDispatcherW(table) ? 0 : 1;
}
