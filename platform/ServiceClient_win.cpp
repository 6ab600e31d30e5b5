#include "platform/ServiceClient_win.h"

#include <aclapi.h>

#include "platform/WideText_win.h"

namespace {

// While the service is not running, a process of any account could take the
// pipe's name and claim to have set the clock. The service's pipe is owned
// by LocalService, which only the service's own account can make an owner.
bool OwnedByLocalService(HANDLE pipe) {
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR sd = nullptr;
    if (GetSecurityInfo(pipe, SE_KERNEL_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr, nullptr,
                        &sd) != ERROR_SUCCESS)
        return false;
    BYTE localService[SECURITY_MAX_SID_SIZE];
    DWORD size = sizeof localService;
    const bool owned =
        owner && CreateWellKnownSid(WinLocalServiceSid, nullptr, localService, &size) && EqualSid(owner, localService);
    LocalFree(sd);
    return owned;
}

// Any service running as LocalService could own such a pipe: it must also
// be served by the process the service control manager started as ours.
// Asked with SERVICE_QUERY_STATUS alone, which every user is granted.
bool ServedByService(HANDLE pipe, const std::string& serviceName) {
    ULONG server = 0;
    if (!GetNamedPipeServerProcessId(pipe, &server) || server == 0) return false;
    const SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
    if (!manager) return false;
    const SC_HANDLE service = OpenServiceW(manager, WideFromUtf8(serviceName).c_str(), SERVICE_QUERY_STATUS);
    SERVICE_STATUS_PROCESS status{};
    DWORD needed = 0;
    const bool ours = service &&
                      QueryServiceStatusEx(service, SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&status),
                                           sizeof status, &needed) &&
                      status.dwCurrentState == SERVICE_RUNNING && status.dwProcessId == server;
    if (service) CloseServiceHandle(service);
    CloseServiceHandle(manager);
    return ours;
}

}  // namespace

std::optional<std::string> PublishedServicePipe() {
    wchar_t name[128];
    DWORD size = sizeof name;
    if (RegGetValueW(HKEY_LOCAL_MACHINE, WideFromUtf8(kServiceKey).c_str(), WideFromUtf8(kServicePipeValue).c_str(),
                     RRF_RT_REG_SZ, nullptr, name, &size) != ERROR_SUCCESS)
        return std::nullopt;
    std::string pipe = Utf8FromWide(name);
    // Never opened: a value that names a file or a device, where even an open
    // may have effects.
    if (!pipe.starts_with(kServicePipePrefix)) return std::nullopt;
    return pipe;
}

ServiceClient::Sent Win32ServiceClient::Send(std::string_view request) {
    Close();
    const std::optional<std::string> name = PublishedServicePipe();
    if (!name) return Sent::NoService;
    // Identification only: whoever answers may learn who we are, never act
    // as us.
    // FILE_WRITE_DATA, not GENERIC_WRITE: the pipe grants its clients no more.
    const HANDLE pipe = CreateFileW(WideFromUtf8(*name).c_str(), GENERIC_READ | FILE_WRITE_DATA, 0, nullptr,
                                    OPEN_EXISTING, SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION, nullptr);
    if (pipe == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_PIPE_BUSY ? Sent::Busy : Sent::NoService;
    pipe_.reset(pipe);
    if (!OwnedByLocalService(pipe) || !ServedByService(pipe, serviceName_)) {
        Close();
        return Sent::NoService;
    }
    // The request is far smaller than the pipe's buffer: the write cannot wait on the service.
    DWORD written = 0;
    if (!WriteFile(pipe, request.data(), static_cast<DWORD>(request.size()), &written, nullptr) ||
        written != request.size()) {
        Close();
        return Sent::NoService;
    }
    return Sent::Sent;
}

std::optional<std::string> Win32ServiceClient::Reply() {
    DWORD waiting = 0;
    // Only what is already there is read, so the read never blocks the window.
    if (!PeekNamedPipe(pipe_.get(), nullptr, 0, nullptr, &waiting, nullptr)) return received_;
    if (waiting > 0) {
        const size_t keep = std::min<size_t>(waiting, maxReplyBytes_ + 1 - received_.size());
        const size_t had = received_.size();
        received_.resize(had + keep);
        DWORD got = 0;
        if (!ReadFile(pipe_.get(), received_.data() + had, static_cast<DWORD>(keep), &got, nullptr)) return received_;
        received_.resize(had + got);
    }
    if (received_.size() > maxReplyBytes_ || replyEnded_(received_)) return received_;
    return std::nullopt;
}

void Win32ServiceClient::Close() {
    pipe_.reset();
    received_.clear();
}
