#include "service/ServiceHost_win.h"

#include <winsock2.h>
#include <windows.h>

#include <mutex>

#include "platform/EventLog_win.h"
#include "platform/EventPump_win.h"
#include "platform/ServicePipe_win.h"
#include "platform/Socket_win.h"
#include "platform/SystemClock_win.h"
#include "platform/SystemMessage_win.h"
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

// Everything the service does between starting and stopping; the exit code
// it stops with. Every object lives on this thread: the socket's window does,
// and the runs pump its messages here.
DWORD Serve(ServiceStatus& status, HANDLE stop) {
    Win32EventLog log;
    ServicePipe pipe(kServicePipeName);
    if (!pipe) {
        // Most likely another program took the name first, to stand in for
        // the service: it must not go unnoticed.
        log.Report(std::string("Veltrano's time service could not create its pipe ") + kServicePipeName + ": " +
                   ErrorText(pipe.Error()) + ". The service stops.");
        return pipe.Error();
    }
    Win32Socket socket;
    Win32SystemClock clock;
    Win32EventPump events;
    TimeService service(InitAppFolder(), socket, clock, events, log, BuiltOn());
    socket.SetEvents(&service.Events());
    status.Report(SERVICE_RUNNING);

    const PipeRequests requests{kMaxRequestBytes, RequestEnded, [&service](std::string_view request,
                                                                            const std::string& user) {
                                    return service.Answer(request, user);
                                }};
    DWORD error = NO_ERROR;
    const bool stopped = ServeRequests(pipe, requests, stop, events, error);
    socket.SetEvents(nullptr);  // the service goes first
    if (stopped) return NO_ERROR;
    log.Report("Veltrano's time service stops: its pipe failed: " + ErrorText(error) + ".");
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
