#include "mainwindow/ProgramDriver.h"

#include <aclapi.h>
#include <sddl.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <optional>
#include <regex>
#include <thread>

#include "LoopbackPlan.h"
#include "fakes/SyncRig.h"
#include "platform/EventPump_win.h"
#include "platform/FileAccess.h"
#include "platform/ServiceClient_win.h"
#include "platform/ServicePipe_win.h"
#include "platform/Socket_win.h"
#include "platform/SystemClock_win.h"
#include "platform/WideText_win.h"
#include "resources/Messages.h"
#include "service/SyncRequest.h"

namespace {

using namespace e2e;

const char* const kUninstallKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Veltrano";
const char* const kEventSourceKey = "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\Veltrano";

bool Has(HKEY root, const char* key, const char* value) {
    return RegGetValueA(root, key, value, RRF_RT_ANY, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}
bool KeyExists(HKEY root, const char* key) {
    HKEY h = nullptr;
    return RegOpenKeyExA(root, key, 0, KEY_READ, &h) == ERROR_SUCCESS && RegCloseKey(h) == ERROR_SUCCESS;
}
bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }
// Wine keeps no access list for a file: it shows one made of the Unix mode.
bool OnWine() { return GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr; }

const SECURITY_INFORMATION kOwnerAndList = OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
// Owner and access list as SDDL, of a descriptor it then frees.
std::string SddlOf(PSECURITY_DESCRIPTOR sd) {
    char* text = nullptr;
    ConvertSecurityDescriptorToStringSecurityDescriptorA(sd, SDDL_REVISION_1, kOwnerAndList, &text, nullptr);
    const std::string sddl = text ? text : "";
    LocalFree(text), LocalFree(sd);
    return sddl;
}
// Of a file, a folder or MACHINE\ and a key.
std::string SddlOf(const std::wstring& name, SE_OBJECT_TYPE type) {
    PSECURITY_DESCRIPTOR sd = nullptr;
    GetNamedSecurityInfoW(name.c_str(), type, kOwnerAndList, nullptr, nullptr, nullptr, nullptr, &sd);
    return SddlOf(sd);
}
// sddl as this system spells it when it reads one back.
std::string Spelled(const char* sddl) {
    PSECURITY_DESCRIPTOR sd = nullptr;
    ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl, SDDL_REVISION_1, &sd, nullptr);
    return SddlOf(sd);
}
// Whether an entry lets everyone write into the folder, as Wine shows it too.
bool EveryoneMayWrite(const std::wstring& folder) {
    PSECURITY_DESCRIPTOR sd = nullptr;
    PACL dacl = nullptr;
    GetNamedSecurityInfoW(folder.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl, nullptr,
                          &sd);
    bool writes = false;
    for (DWORD i = 0; dacl && i < dacl->AceCount; ++i) {
        ACCESS_ALLOWED_ACE* ace = nullptr;
        GetAce(dacl, i, reinterpret_cast<void**>(&ace));
        writes |= ace->Header.AceType == ACCESS_ALLOWED_ACE_TYPE && (ace->Mask & (FILE_WRITE_DATA | GENERIC_ALL)) &&
                  IsWellKnownSid(&ace->SidStart, WinWorldSid);
    }
    LocalFree(sd);
    return writes;
}
void OpenToEveryone(const std::wstring& folder) {
    CreateDirectoryW(folder.c_str(), nullptr);
    PSECURITY_DESCRIPTOR sd = nullptr;
    ConvertStringSecurityDescriptorToSecurityDescriptorA("D:(A;OICI;FA;;;WD)", SDDL_REVISION_1, &sd, nullptr);
    SetFileSecurityW(folder.c_str(), DACL_SECURITY_INFORMATION, sd);
    LocalFree(sd);
}

// What the setup protects: its folder, whatever it held before, and the key
// of the service's pipe name. Of the folder's list Wine takes only that
// everyone may no longer write; the rest only Windows can show.
void ExpectProtected(const std::wstring& dir) {
    const std::wstring folder = dir.substr(0, dir.size() - 1);
    EXPECT_FALSE(EveryoneMayWrite(folder)) << SddlOf(folder, SE_FILE_OBJECT);
    if (!OnWine()) {
        EXPECT_EQ(SddlOf(folder, SE_FILE_OBJECT),
                  Spelled("O:BAD:PAI(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICI;0x1200a9;;;BU)"));
        for (const std::wstring& path : {folder, dir + L"Veltrano.exe", dir + L"ntp_servers.txt"})
            EXPECT_TRUE(WritableOnlyByAdministrators(Utf8FromWide(path))) << Utf8FromWide(path);
    }
    // SYSTEM and administrators full, LocalService reads and sets values, users read.
    EXPECT_EQ(SddlOf(L"MACHINE\\" + WideFromUtf8(kServiceKey), SE_REGISTRY_KEY),
              Spelled("O:BAD:P(A;CI;KA;;;SY)(A;CI;KA;;;BA)(A;CI;0x2001b;;;LS)(A;CI;KR;;;BU)"));
    // The service's events, described by its exe.
    EXPECT_EQ(RegText(HKEY_LOCAL_MACHINE, kEventSourceKey, "EventMessageFile", RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND),
              dir + L"Veltrano.exe");
    DWORD types = 0, size = sizeof types;
    RegGetValueA(HKEY_LOCAL_MACHINE, kEventSourceKey, "TypesSupported", RRF_RT_REG_DWORD, nullptr, &types, &size);
    EXPECT_EQ(types, 7u) << "error, warning and information";
}

// Restarted 5 s, 5 s and a minute after a crash, counted afresh after a day.
void ExpectFailureActions(SC_HANDLE service) {
    using Actions = std::vector<std::pair<DWORD, DWORD>>;
    union { SERVICE_FAILURE_ACTIONSW actions; BYTE bytes[1024]; } q{};
    DWORD n = 0, reset = 0;
    Actions actions;
    if (QueryServiceConfig2W(service, SERVICE_CONFIG_FAILURE_ACTIONS, q.bytes, sizeof q, &n)) {
        reset = q.actions.dwResetPeriod;
        for (DWORD i = 0; i < q.actions.cActions; ++i)
            actions.push_back({q.actions.lpsaActions[i].Type, q.actions.lpsaActions[i].Delay});
    } else {
        // Wine keeps them only as the value in which Windows keeps them:
        // five 32-bit fields, the count fourth, then type and delay of each.
        EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_LEVEL));
        DWORD raw[16] = {};
        n = sizeof raw;
        RegGetValueA(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Services\\VeltranoTime", "FailureActions",
                     RRF_RT_REG_BINARY, nullptr, raw, &n);
        reset = raw[0];
        for (DWORD i = 0; i < raw[3] && 6 + 2 * i < n / sizeof(DWORD); ++i)
            actions.push_back({raw[5 + 2 * i], raw[6 + 2 * i]});
    }
    EXPECT_EQ(reset, 86400u);
    EXPECT_EQ(actions, (Actions{{SC_ACTION_RESTART, 5000}, {SC_ACTION_RESTART, 5000}, {SC_ACTION_RESTART, 60000}}));
}

// The service's reply to request, through the program's own client; "none"
// when there was none.
SyncReply Ask(const std::string& request) {
    Win32ServiceClient client(kServiceName, kMaxReplyBytes, ReplyEnded);
    std::optional<std::string> bytes;
    if (client.Send(request) == ServiceClient::Sent::Sent)
        WaitFor([&] { return (bytes = client.Reply()).has_value(); }, 10000);
    return ParseReply(bytes.value_or("")).value_or(SyncReply{SyncReply::Result(-1), "none"});
}

// A pipe of this process's own, guarded as the service guards its own.
HANDLE Impostor(const std::string& name) {
    PSECURITY_DESCRIPTOR sd = nullptr;
    ConvertStringSecurityDescriptorToSecurityDescriptorA(kServicePipeSddl, SDDL_REVISION_1, &sd, nullptr);
    SECURITY_ATTRIBUTES sa{sizeof sa, sd, FALSE};
    const HANDLE pipe = CreateNamedPipeA(name.c_str(), PIPE_ACCESS_DUPLEX, 0, 1, 4096, 4096, 0, &sa);
    LocalFree(sd);
    return pipe;
}
void Publish(const std::string& name) {
    RegSetKeyValueA(HKEY_LOCAL_MACHINE, kServiceKey, kServicePipeValue, REG_SZ, name.c_str(),
                    static_cast<DWORD>(name.size() + 1));
}

// The installed service answers past silent clients, a pipe served by
// anyone else is not taken for it, and squatters on the names it has had
// keep it from nothing once it starts again.
void ExpectServiceHoldsItsOwn(const std::wstring& dir) {
    // The Event Viewer's text for each severity is the entry's own.
    const HMODULE exe = LoadLibraryExW((dir + L"Veltrano.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    for (const DWORD id : {MSG_SERVICE_INFORMATION, MSG_SERVICE_ERROR}) {
        const wchar_t* text = L"The system clock was changed";
        DWORD_PTR args[] = {reinterpret_cast<DWORD_PTR>(text)};
        wchar_t shown[128] = {};
        FormatMessageW(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_ARGUMENT_ARRAY, exe, id, 0, shown, 128,
                       reinterpret_cast<va_list*>(args));
        EXPECT_EQ(std::wstring(shown).substr(0, 28), text) << id;
    }
    FreeLibrary(exe);

    const std::string name = PublishedServicePipe().value_or("");
    EXPECT_TRUE(std::regex_match(name, std::regex(R"(\\\\\.\\pipe\\Veltrano\.TimeService\.[0-9a-f]{32})"))) << name;
    const std::string unlisted = FormatRequest({"unlisted.invalid", loopback::kNobody, false, false});
    std::atomic<bool> done = false;
    std::vector<std::thread> silent;
    for (int i = 0; i < 4; ++i)
        silent.emplace_back([&] {
            for (; !done; Sleep(20)) {  // holds an instance until the service cuts it off
                const HANDLE h = CreateFileA(name.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
                if (h != INVALID_HANDLE_VALUE) Sleep(1200), CloseHandle(h);
            }
        });
    Sleep(1500);
    EXPECT_EQ(Ask(unlisted).result, SyncReply::Result::Refused) << "no reply past four silent clients";
    done = true;
    for (std::thread& t : silent) t.join();

    const std::string other = std::string(kServicePipePrefix) + std::string(32, '0');
    const HANDLE impostor = Impostor(other);
    Publish(other);
    EXPECT_EQ(Win32ServiceClient(kServiceName, kMaxReplyBytes, ReplyEnded).Send(unlisted),
              ServiceClient::Sent::NoService);
    CloseHandle(impostor);
    Publish(name);

    // Stopped, the service withdraws its name.
    const SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
    const SC_HANDLE service = OpenServiceA(manager, kServiceName, SERVICE_START | SERVICE_STOP | SERVICE_QUERY_STATUS);
    SERVICE_STATUS status{};
    ASSERT_TRUE(ControlService(service, SERVICE_CONTROL_STOP, &status));
    EXPECT_TRUE(WaitFor([&] { return QueryServiceStatus(service, &status) && status.dwCurrentState == SERVICE_STOPPED; },
                        10000));
    EXPECT_FALSE(PublishedServicePipe());
    const HANDLE squatters[] = {Impostor(R"(\\.\pipe\Veltrano.TimeService)"), Impostor(name)};
    ASSERT_TRUE(StartServiceA(service, 0, nullptr));
    EXPECT_TRUE(WaitFor([&] { return PublishedServicePipe() && PublishedServicePipe() != name; }, 10000));
    EXPECT_NE(Ask(unlisted).text, "none") << "no reply from the restarted service";
    for (const HANDLE squatter : squatters) CloseHandle(squatter);
    CloseServiceHandle(service);
    CloseServiceHandle(manager);
}

// Registered as the setup says, and running.
void ExpectTimeService(const std::wstring& exe) {
    const SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
    const SC_HANDLE service = OpenServiceA(manager, kServiceName, SERVICE_QUERY_CONFIG | SERVICE_QUERY_STATUS);
    ASSERT_TRUE(service);
    union { QUERY_SERVICE_CONFIGW config; BYTE bytes[8192]; } q;
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
    ExpectFailureActions(service);
    SERVICE_STATUS status{};
    const auto running = [&] {
        return QueryServiceStatus(service, &status) && status.dwCurrentState == SERVICE_RUNNING &&
               PublishedServicePipe();
    };
    EXPECT_TRUE(WaitFor(running, 10000)) << "stopped with " << status.dwWin32ExitCode;
    CloseServiceHandle(service);
    CloseServiceHandle(manager);
}

TEST(Setup, OneInstallThroughItsUpgradeToItsUninstall) {
    ClearProgramRegistry();
    // Under Wine a shortcut in the Start menu would reach this machine's own menus as well.
    const char* overrides = "Software\\Wine\\DllOverrides";
    RegSetKeyValueA(HKEY_CURRENT_USER, overrides, "winemenubuilder.exe", REG_SZ, "", 1);
    const wchar_t* setupOverride = _wgetenv(L"VELTRANO_SETUP");
    const std::wstring dir = _wgetenv(L"ProgramFiles") + std::wstring(L"\\Veltrano\\"),
                       exe = L"\"" + dir + L"Veltrano.exe\"", setup = setupOverride ? setupOverride : VELTRANO_SETUP,
                       link = _wgetenv(L"ProgramData") + std::wstring(L"\\Microsoft\\Windows\\Start Menu\\Programs\\") +
                              L"Veltrano.lnk";
    // A folder with things of its own keeps its access list, and gets no Veltrano.
    const std::wstring busy = _wgetenv(L"TEMP") + std::wstring(L"\\Veltrano busy");
    OpenToEveryone(busy);
    std::ofstream(std::filesystem::path(busy + L"\\mine.txt")) << "mine";
    EXPECT_FALSE(Process(L"\"" + setup + L"\" /S /D=" + busy).Succeeds());
    EXPECT_FALSE(Exists(busy + L"\\Veltrano.exe"));
    EXPECT_TRUE(EveryoneMayWrite(busy));
    std::filesystem::remove_all(busy);
    // The folder of an earlier install that everyone may write.
    OpenToEveryone(dir.substr(0, dir.size() - 1));
    ASSERT_TRUE(EveryoneMayWrite(dir.substr(0, dir.size() - 1)));
    ASSERT_TRUE(Process(L"\"" + setup + L"\" /S").Succeeds()) << "made by scripts/package.sh?";
    for (const wchar_t* file :
         {L"Veltrano.exe", L"ntp_servers.txt", L"veltrano-help.html", L"THIRD-PARTY-NOTICES.txt", L"uninstall.exe"})
        EXPECT_TRUE(Exists(dir + file)) << file;
    // The licences of all the exe links: the C runtime, GCC's runtime with its exception, Mbed TLS.
    std::ifstream noticesFile(std::filesystem::path(dir + L"THIRD-PARTY-NOTICES.txt"), std::ios::binary);
    const std::string notices(std::istreambuf_iterator<char>(noticesFile), {});
    for (const char* part : {"the mingw-w64 project", "GCC RUNTIME LIBRARY EXCEPTION", "Apache License"})
        EXPECT_NE(notices.find(part), std::string::npos) << part;
    noticesFile.close();  // or the uninstaller could not delete it
    EXPECT_TRUE(Exists(link));
    for (const char* value : {"DisplayName", "Publisher", "DisplayIcon", "InstallLocation", "EstimatedSize",
                              "UninstallString", "QuietUninstallString", "NoModify", "NoRepair"})
        EXPECT_TRUE(Has(HKEY_LOCAL_MACHINE, kUninstallKey, value)) << value;
    EXPECT_EQ(RegText(HKEY_LOCAL_MACHINE, kUninstallKey, "DisplayVersion"), L"" VELTRANO_VERSION);
    ExpectProtected(dir);

    // The time service, its pipe guarded as designed (read back only; Wine
    // does not enforce it).
    ExpectTimeService(exe);
    const HANDLE pipe = CreateFileA(PublishedServicePipe().value_or("").c_str(), GENERIC_READ | FILE_WRITE_DATA, 0,
                                    nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(pipe, INVALID_HANDLE_VALUE);
    PSECURITY_DESCRIPTOR sd = nullptr;
    GetSecurityInfo(pipe, SE_KERNEL_OBJECT, kOwnerAndList, nullptr, nullptr, nullptr, nullptr, &sd);
    EXPECT_EQ(SddlOf(sd), Spelled(kServicePipeSddl));
    CloseHandle(pipe);
    ExpectServiceHoldsItsOwn(dir);
    // Once an administrator lists it, the service sets the clock from
    // chronyd on another machine. Wine accepts a change under 0.5 s: NTP's
    // milliseconds always make one. This machine's own chronyd it refuses
    // even when listed, nor one at an address of this machine's own network.
    const std::string remote = FormatRequest({loopback::kRemoteChronyd, loopback::kRemoteChronyd, false, true}),
                      local = FormatRequest({loopback::kChronyd, loopback::kChronyd, false, true}),
                      own = FormatRequest({loopback::kOwnAddress, loopback::kOwnAddress, false, true});
    EXPECT_EQ(Ask(remote).result, SyncReply::Result::Refused) << "not listed yet";
    std::ofstream(std::filesystem::path(dir + L"ntp_servers.txt"), std::ios::app)
        << loopback::kRemoteChronyd << '|' << loopback::kRemoteChronyd << "|chronyd|ntp\r\n"
        << loopback::kChronyd << '|' << loopback::kChronyd << "|this machine's chronyd|ntp\r\n"
        << loopback::kOwnAddress << '|' << loopback::kOwnAddress << "|this machine|ntp\r\n";
    const SyncReply set = Ask(remote);
    EXPECT_EQ(set.result, SyncReply::Result::Set) << set.text;
    for (const std::string& request : {local, own}) {
        const SyncReply refused = Ask(request);
        EXPECT_EQ(refused.result, SyncReply::Result::Refused) << request;
        EXPECT_NE(refused.text.find(" is this computer"), std::string::npos) << refused.text;
    }
    // By NTS too, the certificate judged by the service against the prefix's
    // roots, after the turn that the same server's plain NTP left it.
    std::ofstream(std::filesystem::path(dir + L"ntp_servers.txt"), std::ios::app)
        << loopback::kRemoteNts << "||chronyd by NTS|nts\r\n";
    const SyncReply nts = Ask(FormatRequest({loopback::kRemoteNts, "", false, true, 0, false, true}));
    EXPECT_EQ(nts.result, SyncReply::Result::Set) << nts.text;
    // The program's own way there: the server is an hour late to its query,
    // which Wine refuses to set as Windows refuses a user, and right to the
    // service's.
    std::ofstream(std::filesystem::path(dir + L"ntp_servers.txt"), std::ios::app)
        << loopback::kRemoteLateOnce << '|' << loopback::kRemoteLateOnce << "|late\r\n";
    {
        Win32ServiceClient service(kServiceName, kMaxReplyBytes, ReplyEnded);
        SyncRig<Win32Socket, Win32EventPump, Win32SystemClock> program({}, &service);
        program.Run(Ask(loopback::kRemoteLateOnce, loopback::kRemoteLateOnce, ServerProtocol::Time, kSetClock));
        EXPECT_EQ(program.Last().substr(0, 26), " Time updated succesfully!") << program.Last();
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

    // Again running, and set to start with Windows: closed by the
    // uninstaller, it writes its entry, under the machine's Run key from a
    // folder only administrators may change (Windows), else under the
    // user's (Wine). The uninstaller goes on from a copy of itself and
    // takes its entry away last.
    RegSetKeyValueA(HKEY_CURRENT_USER, kSettingsKey, "AutoRun", REG_SZ, "1", 2);
    const Process again(exe);
    ASSERT_TRUE(again.ShowsReady());
    ASSERT_TRUE(Process(L"\"" + dir + L"uninstall.exe\" /S").Succeeds());
    EXPECT_TRUE(WaitFor([] { return !Has(HKEY_LOCAL_MACHINE, kUninstallKey, "DisplayName"); }, 30000));
    EXPECT_TRUE(again.Ended(5000));
    EXPECT_FALSE(Exists(dir));
    EXPECT_FALSE(Exists(link));
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) EXPECT_FALSE(Has(root, kRunKey, "Dravelquin"));
    for (const char* key : {"SOFTWARE\\Veltrano", kEventSourceKey})
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, key)) << key;
    const SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
    EXPECT_FALSE(OpenServiceA(manager, kServiceName, SERVICE_QUERY_STATUS));
    CloseServiceHandle(manager);
    EXPECT_TRUE(Has(HKEY_CURRENT_USER, kSettingsKey, "Auto"));
    ClearProgramRegistry();
    RegDeleteKeyValueA(HKEY_CURRENT_USER, kRunKey, "Dravelquin");
    RegDeleteKeyValueA(HKEY_CURRENT_USER, overrides, "winemenubuilder.exe");
}

}  // namespace
