#include "mainwindow/ProgramDriver.h"

#include <filesystem>
#include <fstream>

namespace {

using namespace e2e;

const char* const kRunKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const char* const kUninstallKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Veltrano";

bool Has(HKEY root, const char* key, const char* value) {
    return RegGetValueA(root, key, value, RRF_RT_ANY, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}
bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

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
    EXPECT_TRUE(Has(HKEY_CURRENT_USER, kSettingsKey, "Auto"));
    ClearProgramRegistry();
    RegDeleteKeyValueA(HKEY_CURRENT_USER, overrides, "winemenubuilder.exe");
}

}  // namespace
