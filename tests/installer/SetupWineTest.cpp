#include "mainwindow/ProgramDriver.h"

#include <aclapi.h>
#include <sddl.h>

#include <filesystem>
#include <fstream>
#include <optional>

#include "LoopbackPlan.h"
#include "fakes/SyncRig.h"
#include "platform/EventPump_win.h"
#include "platform/ServiceClient_win.h"
#include "platform/ServicePipe_win.h"
#include "platform/Socket_win.h"
#include "platform/SystemClock_win.h"
#include "service/SyncRequest.h"

namespace {

using namespace e2e;

const char* const kRunKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const char* const kUninstallKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Veltrano";

bool Has(HKEY root, const char* key, const char* value) {
    return RegGetValueA(root, key, value, RRF_RT_ANY, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}
bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// The service's pipe opened as the program opens it: to read, and to write
// data only, all that an interactive user may.
struct ServiceClient {
    HANDLE h = INVALID_HANDLE_VALUE;
    ServiceClient() {
        // One client at a time: the next waits while the last is let go.
        WaitFor([&] {
            h = CreateFileA(kServicePipeName, GENERIC_READ | FILE_WRITE_DATA, 0, nullptr, OPEN_EXISTING, 0, nullptr);
            return h != INVALID_HANDLE_VALUE || GetLastError() != ERROR_PIPE_BUSY;
        }, 5000);
    }
    ~ServiceClient() {
        if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    }
    // The reply, or nothing when the service cut the client off first.
    std::optional<SyncReply> Reply() {
        std::string got;
        WaitFor([&] {
            DWORD waiting = 0, n = 0;
            char buf[256];
            if (!PeekNamedPipe(h, nullptr, 0, nullptr, &waiting, nullptr)) return true;
            if (waiting && ReadFile(h, buf, std::min<DWORD>(waiting, sizeof buf), &n, nullptr)) got.append(buf, n);
            return ParseReply(got) || got.size() > kMaxReplyBytes;
        }, 8000);
        return ParseReply(got);
    }
};

// The reply to request; "none" when there was none.
SyncReply Ask(const std::string& request) {
    ServiceClient client;
    DWORD n = 0;
    WriteFile(client.h, request.data(), static_cast<DWORD>(request.size()), &n, nullptr);
    return client.Reply().value_or(SyncReply{SyncReply::Result(-1), "none"});
}

// Registered as the setup says, and running.
void ExpectTimeService(const std::wstring& exe) {
    const SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
    const SC_HANDLE service = OpenServiceA(manager, kServiceName, SERVICE_QUERY_CONFIG | SERVICE_QUERY_STATUS);
    ASSERT_TRUE(service);
    union {
        QUERY_SERVICE_CONFIGW config;
        BYTE bytes[8192];
    } q;
    DWORD n = 0;
    ASSERT_TRUE(QueryServiceConfigW(service, &q.config, sizeof q, &n));
    EXPECT_EQ(std::wstring(q.config.lpBinaryPathName), exe + L" /service");
    EXPECT_EQ(std::wstring(q.config.lpServiceStartName), L"NT AUTHORITY\\LocalService");
    EXPECT_EQ(q.config.dwStartType, DWORD(SERVICE_AUTO_START));
    SERVICE_DELAYED_AUTO_START_INFO delayed{};
    // Wine keeps it only as the value in the registry.
    if (!QueryServiceConfig2W(service, SERVICE_CONFIG_DELAYED_AUTO_START_INFO, reinterpret_cast<BYTE*>(&delayed),
                              sizeof delayed, &n) && GetLastError() == ERROR_INVALID_LEVEL) {
        n = sizeof delayed.fDelayedAutostart;
        RegGetValueA(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Services\\VeltranoTime", "DelayedAutostart",
                     RRF_RT_REG_DWORD, nullptr, &delayed.fDelayedAutostart, &n);
    }
    EXPECT_TRUE(delayed.fDelayedAutostart);
    SERVICE_STATUS status{};
    const auto running = [&] {
        return QueryServiceStatus(service, &status) && status.dwCurrentState == SERVICE_RUNNING;
    };
    EXPECT_TRUE(WaitFor(running, 10000));
    CloseServiceHandle(service);
    CloseServiceHandle(manager);
}

// A process of its own, which the setup and the uninstaller end within a minute.
struct Process {
    PROCESS_INFORMATION pi{};
    explicit Process(std::wstring commandLine) {
        STARTUPINFOW si{};
        si.cb = sizeof si;
        CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi);
    }
    ~Process() {
        if (!Ended(0)) TerminateProcess(pi.hProcess, 1);  // a program left running by a failure
        CloseHandle(pi.hProcess), CloseHandle(pi.hThread);
    }
    bool Ended(DWORD ms) const { return WaitForSingleObject(pi.hProcess, ms) == WAIT_OBJECT_0; }
    bool Succeeds() const { DWORD code = 1; return Ended(60000) && GetExitCodeProcess(pi.hProcess, &code) && !code; }
    bool ShowsReady() const {
        HWND w = nullptr;
        return WaitFor([&] { return (w = WindowOf(pi.dwProcessId, "Veltrano.frmMain")) != nullptr; }, 15000) &&
               WaitFor([&] { return WindowTextOf(GetDlgItem(w, kIdLblInfo)) == "Ready."; }, 5000);
    }
};

TEST(Setup, InstallsUpgradesOverTheRunningProgramAndUninstallsLeavingUserSettings) {
    ClearProgramRegistry();
    // Under Wine a shortcut in the Start menu would reach this machine's own menus as well.
    const char* overrides = "Software\\Wine\\DllOverrides";
    RegSetKeyValueA(HKEY_CURRENT_USER, overrides, "winemenubuilder.exe", REG_SZ, "", 1);
    const std::wstring dir = _wgetenv(L"ProgramFiles") + std::wstring(L"\\Veltrano\\"),
                       exe = L"\"" + dir + L"Veltrano.exe\"", setup = VELTRANO_SETUP,
                       link = _wgetenv(L"ProgramData") + std::wstring(L"\\Microsoft\\Windows\\Start Menu\\Programs\\") +
                              L"Veltrano.lnk";
    ASSERT_TRUE(Process(L"\"" + setup + L"\" /S").Succeeds()) << "made by scripts/package.sh?";
    for (const wchar_t* file : {L"Veltrano.exe", L"ntp_servers.txt", L"veltrano-help.html", L"uninstall.exe"})
        EXPECT_TRUE(Exists(dir + file)) << file;
    EXPECT_TRUE(Exists(link));
    for (const char* value : {"DisplayName", "Publisher", "DisplayIcon", "InstallLocation", "EstimatedSize",
                              "UninstallString", "QuietUninstallString", "NoModify", "NoRepair"})
        EXPECT_TRUE(Has(HKEY_LOCAL_MACHINE, kUninstallKey, value)) << value;
    char version[32] = {};
    DWORD size = sizeof version;
    RegGetValueA(HKEY_LOCAL_MACHINE, kUninstallKey, "DisplayVersion", RRF_RT_REG_SZ, nullptr, version, &size);
    EXPECT_STREQ(version, VELTRANO_VERSION);

    // The time service: its pipe is guarded as designed (read back only;
    // Wine does not enforce it), a client that says nothing is cut off with
    // no reply, and what the service will not run is refused.
    ExpectTimeService(exe);
    {
        ServiceClient silent;
        PSECURITY_DESCRIPTOR sd = nullptr;
        char* sddl = nullptr;
        const SECURITY_INFORMATION parts = OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
        ASSERT_EQ(GetSecurityInfo(silent.h, SE_KERNEL_OBJECT, parts, nullptr, nullptr, nullptr, nullptr, &sd),
                  DWORD(ERROR_SUCCESS));
        ConvertSecurityDescriptorToStringSecurityDescriptorA(sd, SDDL_REVISION_1, parts, &sddl, nullptr);
        EXPECT_STREQ(sddl, kServicePipeSddl);
        LocalFree(sddl), LocalFree(sd);
        const DWORD start = GetTickCount();
        EXPECT_FALSE(silent.Reply());
        EXPECT_NEAR(GetTickCount() - start, kPipeClientTimeoutMs, 1500);
    }
    const std::string chronyd = FormatRequest({"127.0.0.60", "127.0.0.60", false, true});
    for (const std::string& request : {std::string(kMaxRequestBytes + 100, 'x'), chronyd.substr(0, 20) + "\nend\n",
                                       chronyd})
        EXPECT_EQ(Ask(request).result, SyncReply::Result::Refused) << request;
    // Once an administrator lists it, the service sets the clock from
    // chronyd there. Wine accepts a change under 0.5 s: NTP's milliseconds
    // always make one, the Time Protocol's whole seconds only now and then.
    std::ofstream(std::filesystem::path(dir + L"ntp_servers.txt"), std::ios::app)
        << "127.0.0.60|127.0.0.60|chronyd|ntp\r\n";
    const SyncReply set = Ask(chronyd);
    EXPECT_EQ(set.result, SyncReply::Result::Set) << set.text;
    // The program's own way there: the server is an hour late to its query,
    // which Wine refuses to set as Windows refuses a user, and right to the
    // service's.
    std::ofstream(std::filesystem::path(dir + L"ntp_servers.txt"), std::ios::app) << "127.0.0.7|127.0.0.7|late\r\n";
    {
        Win32ServiceClient service(kServicePipeName);
        SyncRig<Win32Socket, Win32EventPump, Win32SystemClock> program({{loopback::kLateOnce, loopback::kLateOnce, "late"}},
                                                                      {}, &service);
        program.Synchronize();
        EXPECT_EQ(program.lblInfo.Text().substr(0, 26), " Time updated succesfully!") << program.lblInfo.Text();
    }

    // Over the running program and a list of the user's own: the program is
    // closed as at log-off, which saves its settings, and the list stays.
    const Process running(exe);
    ASSERT_TRUE(running.ShowsReady());
    const std::string mine = "mine|127.0.0.2|edited\r\n";
    std::ofstream(std::filesystem::path(dir + L"ntp_servers.txt"), std::ios::binary) << mine;
    ASSERT_TRUE(Process(L"\"" + setup + L"\" /S").Succeeds());
    EXPECT_TRUE(running.Ended(5000));
    std::ifstream list(std::filesystem::path(dir + L"ntp_servers.txt"), std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(list), {}), mine);
    list.close();  // or the uninstaller could not delete it
    EXPECT_TRUE(Exists(dir + L"ntp_servers.new.txt"));
    EXPECT_TRUE(Has(HKEY_CURRENT_USER, kSettingsKey, "Auto")) << "closed without saving its settings";
    ExpectTimeService(exe);

    // Again running, and set to start with Windows. The uninstaller goes on
    // from a copy of itself and takes its entry away last.
    const Process again(exe);
    ASSERT_TRUE(again.ShowsReady());
    RegSetKeyValueA(HKEY_LOCAL_MACHINE, kRunKey, "Dravelquin", REG_SZ, "Veltrano.exe", 13);
    ASSERT_TRUE(Process(L"\"" + dir + L"uninstall.exe\" /S").Succeeds());
    EXPECT_TRUE(WaitFor([] { return !Has(HKEY_LOCAL_MACHINE, kUninstallKey, "DisplayName"); }, 30000));
    EXPECT_TRUE(again.Ended(5000));
    EXPECT_FALSE(Exists(dir));
    EXPECT_FALSE(Exists(link));
    EXPECT_FALSE(Has(HKEY_LOCAL_MACHINE, kRunKey, "Dravelquin"));
    const SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
    EXPECT_FALSE(OpenServiceA(manager, kServiceName, SERVICE_QUERY_STATUS));
    CloseServiceHandle(manager);
    EXPECT_EQ(ServiceClient().h, INVALID_HANDLE_VALUE);
    // Whoever takes the name now is not the service, whatever it answers.
    const HANDLE squatter = CreateNamedPipeA(kServicePipeName, PIPE_ACCESS_DUPLEX, 0, 1, 4096, 4096, 0, nullptr);
    EXPECT_EQ(Win32ServiceClient(kServicePipeName).Send("x"), ::ServiceClient::Sent::NoService);
    CloseHandle(squatter);
    EXPECT_TRUE(Has(HKEY_CURRENT_USER, kSettingsKey, "Auto"));
    ClearProgramRegistry();
    RegDeleteKeyValueA(HKEY_CURRENT_USER, overrides, "winemenubuilder.exe");
}

}  // namespace
