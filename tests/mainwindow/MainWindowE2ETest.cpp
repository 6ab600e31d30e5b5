// The finished program under Wine, driven from outside against the loopback
// time servers that scripts/test.sh starts. Checks that do not disturb each
// other share one run of the program.
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <thread>

#include "LoopbackPlan.h"
#include "ProgramDriver.h"

namespace {

using namespace e2e;

std::vector<std::string> Servers(std::initializer_list<const char*> addresses) {
    std::vector<std::string> lines;
    for (const char* a : addresses) lines.push_back(std::string(a) + "|" + a + "|test");
    return lines;
}
const std::vector<std::string> kServers = Servers({loopback::kTimeService, loopback::kNobody, loopback::kSilent});
const std::string kRefusedClock = " Cannot set the system clock! (An error occurred) 1314:";

struct MainWindow : ::testing::Test {
    void SetUp() override { ClearProgramRegistry(); }
    void TearDown() override { ClearProgramRegistry(); }
};

// Width and height of the client area, then left, top, width and height of
// controls, in pixels worked out from the twips by hand.
using Box = std::array<LONG, 4>;
void ExpectPlaced(const Program& p, std::array<LONG, 2> client, const std::vector<std::pair<int, Box>>& controls) {
    RECT r;
    GetClientRect(p.Window(), &r);
    EXPECT_EQ((std::array<LONG, 2>{r.right, r.bottom}), client);
    for (const auto& [id, e] : controls) {
        GetWindowRect(p.Control(id), &r);
        MapWindowPoints(nullptr, p.Window(), reinterpret_cast<POINT*>(&r), 2);
        EXPECT_EQ((Box{r.left, r.top, r.right - r.left, r.bottom - r.top}), e) << id;
    }
}

TEST_F(MainWindow, OpensAsDesignedChecksAndSetsAgainstTheServersAndRefusesASecondStart) {
    Program p(L"Veltrano e2e main", kServers);
    ASSERT_TRUE(p.Start());
    EXPECT_EQ(WindowTextOf(p.Window()), VELTRANO_EXPECTED_TITLE);
    EXPECT_EQ(p.Text(kIdLblInfo), "Ready.");
    EXPECT_EQ(p.ItemCount(kIdCmbServer), 3);
    EXPECT_EQ(p.ItemText(kIdCmbServer, 1), L"127.0.0.9 (127.0.0.9)  - test");
    EXPECT_EQ(p.ItemCount(kIdCmbOffset), 5);
    EXPECT_EQ(p.ChosenIndex(kIdCmbOffset), 2);
    const wchar_t* offsets[] = {L"-60 mins", L"-30 mins", L"0 (default)", L"+30 mins", L"+60 mins"};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(p.ItemText(kIdCmbOffset, i), offsets[i]);
    EXPECT_EQ(p.Text(kIdTxtInterval), "1");

    const Box placed[] = {  // every control, in id order
        {14, 0, 575, 189},   {404, 198, 185, 99}, {14, 198, 383, 165}, {404, 302, 183, 61},  {28, 22, 45, 17},
        {80, 20, 499, 24},   {36, 54, 365, 17},   {54, 86, 213, 17},   {256, 82, 113, 24},   {34, 122, 239, 17},
        {256, 120, 43, 24},  {304, 122, 83, 13},  {34, 152, 239, 13},  {430, 40, 150, 144},  {432, 222, 133, 29},
        {432, 256, 133, 29}, {60, 238, 139, 19},  {222, 236, 109, 23}, {52, 292, 145, 45},   {222, 292, 147, 45},
        {432, 324, 133, 29}, {14, 366, 573, 19},  {498, 386, 89, 29},  {408, 386, 89, 29}};
    std::vector<std::pair<int, Box>> controls;
    for (const Box& b : placed) controls.push_back({kIdOptionsFrame + int(controls.size()), b});
    ExpectPlaced(p, {594, 414}, controls);
    // Tab walks the controls in the designed order, starting where the focus is when the window opens.
    GUITHREADINFO gui{};
    gui.cbSize = sizeof gui;
    GetGUIThreadInfo(GetWindowThreadProcessId(p.Window(), nullptr), &gui);
    EXPECT_EQ(gui.hwndFocus, p.Control(kIdChkAuto));
    const int tabOrder[] = {kIdChkAuto,      kIdTxtInterval,    kIdChkAutoRun,          kIdCmdEdit,   kIdCmdReload,
                            kIdCmdCheckTime, kIdCmdSynchronize, kIdCmdDateTimeSettings, kIdCmbServer, kIdChkUseIP,
                            kIdCmbOffset,    kIdCmdWebsite,     kIdCmdHelp,             kIdChkAuto};
    for (size_t i = 0; i + 1 < std::size(tabOrder); ++i)
        EXPECT_EQ(GetNextDlgTabItem(p.Window(), p.Control(tabOrder[i]), FALSE), p.Control(tabOrder[i + 1])) << i;
    // The clock display follows the local time once the timer runs.
    EXPECT_TRUE(WaitFor([&] { return p.Text(kIdLblTime) != "#"; }, 3000));

    p.Click(kIdCmdCheckTime, true);
    EXPECT_FALSE(WaitFor([&] { return p.Text(kIdLblInfo) != "Ready."; }, 1000)) << "a right click does nothing";
    p.PressAccessKey('c');  // Alt+C, "&Check Time"
    EXPECT_TRUE(p.Shows(kIdLblInfo, " Local time is OK"));
    // With "+30 mins" the server's time is half an hour behind this clock.
    p.Choose(kIdCmbOffset, 3);
    EXPECT_EQ(ReadRegistryText("Offset"), "30");
    p.Click(kIdCmdCheckTime);
    EXPECT_TRUE(p.Shows(kIdLblInfo, " Local time inaccurate - difference is 180", 15000));
    EXPECT_TRUE(p.Text(kIdLblInfo) == " Local time inaccurate - difference is 1800 seconds!" ||
                p.Text(kIdLblInfo) == " Local time inaccurate - difference is 1801 seconds!");
    // Wine refuses to move its clock by more than half a second.
    p.Click(kIdCmdSynchronize);
    EXPECT_TRUE(p.Shows(kIdLblInfo, kRefusedClock));
    p.Choose(kIdCmbServer, 1);
    p.Click(kIdCmdCheckTime);
    EXPECT_TRUE(p.Shows(kIdLblInfo, " No response received from NTP server."));

    PROCESS_INFORMATION second = p.StartAnother();
    std::string text;
    HWND box = WaitForBox(second.dwProcessId, &text, 10000);
    ASSERT_TRUE(box);
    EXPECT_EQ(text, "Veltrano is already running! Did you check your tray icon area?");
    EXPECT_EQ(GetDlgItem(box, IDCANCEL), nullptr) << "OK only";
    SendMessageA(box, WM_COMMAND, IDOK, 0);
    EXPECT_EQ(WaitForSingleObject(second.hProcess, 5000), WAIT_OBJECT_0);
    CloseHandle(second.hProcess);
    CloseHandle(second.hThread);
    EXPECT_TRUE(p.Running());
}

// Seconds from now to 2036-02-07 06:28:32 UTC, the wrapped server's time.
int64_t SecondsToWrappedTime() {
    FILETIME ft;
    GetSystemTimeAsFileTime(&ft);
    return 2085978512 + 11644473600 - int64_t((uint64_t{ft.dwHighDateTime} << 32 | ft.dwLowDateTime) / 10000000);
}

// Servers whose replies once went wrong, and the reload that must wait for a run.
TEST_F(MainWindow, OddRepliesAndReloadWaitingForTheWholeRunWhileABoxHeldOpenSpoilsNoReply) {
    const auto odd = Servers({loopback::kLate, loopback::kWrapped, loopback::kBlankEnd, loopback::kFrom1985});
    Program p(L"Veltrano e2e odd", odd);
    ASSERT_TRUE(p.Start());
    p.Choose(kIdCmbServer, 2);
    p.Click(kIdCmdCheckTime);
    // The blank moves the time by up to four minutes: OK or a difference, but data all the same.
    EXPECT_TRUE(p.Shows(kIdLblInfo, " Local time "));
    p.Choose(kIdCmbServer, 3);
    p.Click(kIdCmdSynchronize);
    EXPECT_TRUE(p.Shows(kIdLblInfo, " Server time 1985-06-01 is older than this program - the clock was not changed!"));

    const auto refusal = [&] {
        std::string text;
        HWND box = WaitForBox(p.ProcessId(), &text);
        EXPECT_EQ(text, "Cannot reload servers list - An update operation is in progress!");
        // Owned by the window, which it disables, so that no second one opens behind it.
        EXPECT_EQ(GetWindow(box, GW_OWNER), p.Window());
        EXPECT_FALSE(IsWindowEnabled(p.Window()));
        return box;
    };
    // The late server answers after 5 s, while the refusal is still open;
    // the box holds the run's wait past its 8 s.
    p.Choose(kIdCmbServer, 0);
    const DWORD started = GetTickCount();
    p.Click(kIdCmdCheckTime);
    ASSERT_TRUE(p.Shows(kIdLblInfo, " Getting Time from ", 3000));
    p.WriteServerList({odd[1]});
    p.Click(kIdCmdReload);
    HWND box = refusal();
    ASSERT_TRUE(box);
    Sleep(std::max<LONG>(0, 9500 - LONG(GetTickCount() - started)));
    SendMessageA(box, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(p.Shows(kIdLblInfo, " Local time is OK", 5000));

    // The wrapped server's time is years ahead: the check pauses four
    // seconds and asks again, and the run is still under way in that pause.
    p.Choose(kIdCmbServer, 1);
    p.Click(kIdCmdCheckTime);
    ASSERT_TRUE(p.Shows(kIdLblInfo, std::string(" Getting Time from ") + loopback::kWrapped + " ...", 3000));
    Sleep(1000);  // its reply is in: the pause has begun
    p.Click(kIdCmdReload);
    box = refusal();
    ASSERT_TRUE(box);
    SendMessageA(box, WM_COMMAND, IDOK, 0);
    EXPECT_EQ(p.ItemCount(kIdCmbServer), 4);
    const std::string prefix = " Local time inaccurate - difference is ";
    ASSERT_TRUE(p.Shows(kIdLblInfo, prefix));
    EXPECT_NEAR(std::stoll(p.Text(kIdLblInfo).substr(prefix.size())), SecondsToWrappedTime(), 3);
    p.Click(kIdCmdReload);
    EXPECT_TRUE(WaitFor([&] { return p.ItemCount(kIdCmbServer) == 1; }, 5000));
}

TEST_F(MainWindow, EveryOptionIsStoredAndComesBackAutorunStartsInTheTrayAndLogOffSavesAndEnds) {
    std::wstring run;
    bool found = true;
    {
        Program p(L"Veltrano e2e settings", kServers);
        ASSERT_TRUE(p.Start());
        ReadRegistryText("Interval", &found);
        EXPECT_FALSE(found) << "start-up writes nothing";
        p.Click(kIdChkUseIP);
        EXPECT_TRUE(WaitFor([&] { return ReadRegistryText("UseIP") == "1"; }, 3000));
        p.Choose(kIdCmbServer, 2);
        EXPECT_EQ(ReadRegistryText("ServerIndex"), "2");
        p.Choose(kIdCmbOffset, 4);
        EXPECT_EQ(ReadRegistryText("Offset"), "60");
        p.Click(kIdTxtInterval);
        SendMessageA(p.Control(kIdTxtInterval), EM_SETSEL, 0, -1);
        p.Type(kIdTxtInterval, "\b");
        EXPECT_TRUE(WaitFor([&] { return ReadRegistryText("Interval", &found).empty() && found; }, 3000));
        p.Type(kIdTxtInterval, "7");
        EXPECT_TRUE(WaitFor([&] { return ReadRegistryText("Interval") == "7"; }, 3000));
        p.Click(kIdChkAutoRun);
        // The folder has a blank: the command is quoted.
        EXPECT_TRUE(WaitFor([&] { return (run = RunValue()) == L"\"" + p.Folder() + L"Veltrano.exe\""; }, 3000)) << run;
    }
    Program p(L"Veltrano e2e settings", kServers);
    ASSERT_TRUE(p.Start(false));
    EXPECT_FALSE(WaitFor([&] { return p.Visible(); }, 1500)) << "autorun starts in the tray";
    EXPECT_TRUE(TrayIcon(p.Window()));
    ASSERT_TRUE(p.ShowFromTray());
    EXPECT_TRUE(p.Checked(kIdChkUseIP));
    EXPECT_FALSE(p.Checked(kIdChkAuto));
    EXPECT_EQ(p.Text(kIdTxtInterval), "7");
    EXPECT_EQ(p.ChosenIndex(kIdCmbServer), 2);
    EXPECT_EQ(p.ChosenIndex(kIdCmbOffset), 4);
    p.Click(kIdChkAutoRun);
    EXPECT_TRUE(WaitFor([&] { return (run = RunValue(&found)).empty(); }, 3000)) << run;
    EXPECT_TRUE(found) << "emptied, not deleted";

    RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Veltrano");
    DWORD_PTR answer = 0;
    SendMessageTimeoutA(p.Window(), WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_ABORTIFHUNG, 3000, &answer);
    EXPECT_EQ(answer, TRUE);
    EXPECT_TRUE(p.Visible()) << "a log-off is not a close: nothing hides";
    EXPECT_EQ(ReadRegistryText("Interval"), "7") << "log-off saves";
    PostMessageA(p.Window(), WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
    EXPECT_TRUE(p.WaitForExit(5000));
    EXPECT_FALSE(TrayIcon(p.Window()));
}

// Started at 144 dpi, where every twip position comes out half as large
// again, the right and bottom edges rounded to the nearest pixel.
TEST_F(MainWindow, AutomaticSynchronisationSetsTheClockOnceAtStartAndTheWindowScalesWithTheDpi) {
    for (auto [name, value] : {std::pair{"Auto", "1"}, {"Offset", "30"}, {"Interval", "15"}})
        RegSetKeyValueA(HKEY_CURRENT_USER, kSettingsKey, name, REG_SZ, value, DWORD(strlen(value) + 1));
    const char* desktop = "Control Panel\\Desktop";
    DWORD before = 0, size = sizeof before, dpi = 144;
    const bool had = !RegGetValueA(HKEY_CURRENT_USER, desktop, "LogPixels", RRF_RT_DWORD, nullptr, &before, &size);
    RegSetKeyValueA(HKEY_CURRENT_USER, desktop, "LogPixels", REG_DWORD, &dpi, sizeof dpi);
    Program p(L"Veltrano e2e auto", kServers);
    const auto started = p.Start(false);
    if (had) RegSetKeyValueA(HKEY_CURRENT_USER, desktop, "LogPixels", REG_DWORD, &before, sizeof before);
    else RegDeleteKeyValueA(HKEY_CURRENT_USER, desktop, "LogPixels");
    ASSERT_TRUE(started);
    ExpectPlaced(p, {891, 621},
                 {{kIdCmdCheckTime, {78, 438, 218, 68}},  // 780, 4380, 2175, 675 twips
                  {kIdLblInfo, {21, 549, 860, 29}},       // 210, 5490, 8595, 285
                  {kIdImage1, {645, 60, 225, 216}}});     // 6450, 600, 2250, 2160

    // Half an hour is more than Wine lets a program move its clock.
    EXPECT_TRUE(p.Shows(kIdLblInfo, kRefusedClock));
    EXPECT_TRUE(p.Checked(kIdChkAuto));
    // A setting run, failed or not, restarts the interval: no second run follows at once.
    EXPECT_FALSE(WaitFor([&] { return p.Text(kIdLblInfo).rfind(kRefusedClock, 0) != 0; }, 1500)) << p.Text(kIdLblInfo);
}

// The shell refuses every icon while it is still starting at logon, and
// announces nothing when it is done: only trying again brings the icon.
TEST_F(MainWindow, IconIsAddedOnceTheShellHasStartedCloseHidesItExitAsksFirst) {
    static std::atomic<int> refused = 0;
    std::atomic<HWND> shell = nullptr;
    std::thread starting([&] {
        // The topmost window of its class, it is found ahead of the real taskbar.
        WNDCLASSA wc{};
        wc.lpfnWndProc = [](HWND h, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
            if (m == WM_COPYDATA) return ++refused, FALSE;
            if (m == WM_DESTROY) PostQuitMessage(0);
            return DefWindowProcA(h, m, wp, lp);
        };
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "Shell_TrayWnd";
        RegisterClassA(&wc);
        shell = CreateWindowExA(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, wc.lpszClassName, "", WS_POPUP, 0, 0, 0, 0, nullptr,
                                nullptr, wc.hInstance, nullptr);
        for (MSG msg; shell && GetMessageA(&msg, nullptr, 0, 0) > 0;) DispatchMessageA(&msg);
    });
    WaitFor([&] { return shell != nullptr; }, 5000);
    Program p(L"Veltrano e2e tray", kServers);
    const bool started = p.Start() && WaitFor([] { return refused > 0; }, 5000);
    PostMessageA(shell, WM_CLOSE, 0, 0);
    starting.join();
    ASSERT_TRUE(started);
    EXPECT_TRUE(WaitFor([&] { return TrayIcon(p.Window()); }, 5000));

    PostMessageA(p.Window(), WM_SYSCOMMAND, SC_CLOSE, 0);
    ASSERT_TRUE(WaitFor([&] { return !p.Visible(); }, 5000));
    EXPECT_TRUE(p.Running());
    EXPECT_TRUE(TrayIcon(p.Window()));
    EXPECT_EQ(ReadRegistryText("Interval"), "1") << "closing saves";
    EXPECT_TRUE(p.ShowFromTray()) << "normal and in front";

    TrayIcon(p.Window(), NIM_DELETE);  // what an Explorer restart does to every icon
    PostMessageA(HWND_BROADCAST, RegisterWindowMessageA("TaskbarCreated"), 0, 0);
    EXPECT_TRUE(WaitFor([&] { return TrayIcon(p.Window()); }, 5000));

    PostMessageA(p.Window(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
    ASSERT_TRUE(WaitFor([&] { return !p.Visible(); }, 5000));
    for (bool confirm : {false, true}) {
        ASSERT_TRUE(ExitFromTrayMenu());
        std::string text;
        HWND box = WaitForBox(p.ProcessId(), &text);
        EXPECT_EQ(text, "Do you really want to close this application?");
        // Asked from the tray, the question belongs to no one: it would hide with the window.
        EXPECT_EQ(GetWindow(box, GW_OWNER), nullptr);
        SendMessageA(box, WM_COMMAND, confirm ? IDOK : IDCANCEL, 0);
        EXPECT_EQ(p.WaitForExit(confirm ? 5000 : 300), confirm);
        EXPECT_EQ(TrayIcon(p.Window()), !confirm);
    }
}

TEST_F(MainWindow, FolderBeyondTheAnsiCodePageWorksAndAPlantedNotepadIsNotStarted) {
    const std::wstring name = L"Veltrano e2e \u03CE\u03C1\u03B1 \u6642\u8A08";  // ώρα 時計
    BOOL lossy = FALSE;
    WideCharToMultiByte(CP_ACP, 0, name.c_str(), -1, nullptr, 0, nullptr, &lossy);
    ASSERT_TRUE(lossy) << "the name must not fit the ANSI code page";
    Program p(name, {"a|a|one", "b|b|two"});
    // Started by bare name, this copy would run instead of Windows' Notepad.
    CopyFileW((p.Folder() + L"Veltrano.exe").c_str(), (p.Folder() + L"notepad.exe").c_str(), FALSE);
    ASSERT_TRUE(p.Start());
    EXPECT_EQ(p.ItemCount(kIdCmbServer), 2) << "the list beside the exe";
    p.Click(kIdChkAutoRun);
    EXPECT_TRUE(WaitFor([&] { return RunValue() == L"\"" + p.Folder() + L"Veltrano.exe\""; }, 3000)) << RunValue();

    p.Click(kIdCmdEdit);
    // Notepad names the file it opened in its title: the quoted path arrived whole.
    HWND notepad = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (notepad = FindWindowW(nullptr, L"ntp_servers.txt - Notepad")) != nullptr; }, 5000));
    DWORD pid = 0;
    GetWindowThreadProcessId(notepad, &pid);
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_TERMINATE, FALSE, pid);
    wchar_t image[MAX_PATH] = {}, system[MAX_PATH] = {};
    DWORD size = MAX_PATH;
    QueryFullProcessImageNameW(process, 0, image, &size);
    TerminateProcess(process, 0);
    CloseHandle(process);
    GetSystemDirectoryW(system, MAX_PATH);
    EXPECT_EQ(lstrcmpiW(image, (std::wstring(system) + L"\\notepad.exe").c_str()), 0) << image;
}

}  // namespace
