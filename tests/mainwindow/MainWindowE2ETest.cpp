// The finished program under Wine, driven from outside against the loopback
// time servers that scripts/test.sh starts. Checks that do not disturb each
// other share one run of the program.
#include <gtest/gtest.h>
#include <oleacc.h>

#include <array>
#include <atomic>
#include <map>
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

// Runs step, and waits for the program to speak to the shell, while a shell
// still starting at logon stands in front of the real one: the topmost window
// of the taskbar's class, it refuses every icon. Returns what it was sent.
int WithStartingShell(const std::function<void()>& step) {
    static std::atomic<int> received;
    received = 0;
    std::atomic<HWND> shell = nullptr;
    std::thread starting([&] {
        const WNDCLASSA wc{0, [](HWND h, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
            if (m == WM_COPYDATA) return ++received, FALSE;
            if (m == WM_DESTROY) PostQuitMessage(0);
            return DefWindowProcA(h, m, wp, lp);
        }, 0, 0, GetModuleHandleA(nullptr), nullptr, nullptr, nullptr, nullptr, "Shell_TrayWnd"};
        RegisterClassA(&wc);
        shell = CreateWindowExA(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, wc.lpszClassName, "", WS_POPUP, 0, 0, 0, 0, nullptr,
                                nullptr, wc.hInstance, nullptr);
        for (MSG msg; shell && GetMessageA(&msg, nullptr, 0, 0) > 0;) DispatchMessageA(&msg);
    });
    WaitFor([&] { return shell != nullptr; }, 5000);
    step();
    WaitFor([] { return received > 0; }, 5000);
    PostMessageA(shell, WM_CLOSE, 0, 0);
    starting.join();
    return received;
}

struct MainWindow : ::testing::Test {
    void SetUp() override { ClearProgramRegistry(); }
    void TearDown() override { ClearProgramRegistry(); }
};

// A user's session, from a folder beyond the ANSI code page to a second start.
// A reload would take a run's server away: it is refused while the run
// waits for its reply, and in the pause before a check asks again.
TEST_F(MainWindow, OpensAsDesignedForAUserSessionBeyondTheAnsiCodePage) {
    const std::wstring folder = L"Veltrano e2e \u03CE\u03C1\u03B1 \u6642\u8A08";  // ώρα 時計
    BOOL lossy = FALSE;
    WideCharToMultiByte(CP_ACP, 0, folder.c_str(), -1, nullptr, 0, nullptr, &lossy);
    ASSERT_TRUE(lossy) << "the name must not fit the ANSI code page";
    const auto servers = Servers({loopback::kTimeService, loopback::kBlackHole});
    Program p(folder, servers);
    // Started by bare name, this copy would run instead of Windows' Notepad.
    CopyFileW((p.Folder() + L"Veltrano.exe").c_str(), (p.Folder() + L"notepad.exe").c_str(), FALSE);
    ASSERT_TRUE(p.Start());
    EXPECT_EQ(WindowTextOf(p.Window()), VELTRANO_EXPECTED_TITLE);
    EXPECT_TRUE(WaitFor([&] { return p.Focus() == p.Control(kIdChkAuto); }, 3000));
    // The clock display follows the local time: shown at once, then ticking.
    const std::string shown = p.Text(kIdLblTime);
    EXPECT_TRUE(WaitFor([&] { return p.Text(kIdLblTime) != shown; }, 3000)) << shown;
    PostMessageA(p.Focus(), WM_SYSCHAR, 'c', 1 | (1 << 29));  // Alt+C, "&Check Time", as the keyboard sends it
    EXPECT_TRUE(p.Shows(kIdLblInfo, " Local time is OK"));

    p.WriteServerList({servers[0]});
    const auto refused = [&] {
        std::string text;
        HWND box = WaitForBox(p.Running().pi.dwProcessId, &text);
        EXPECT_EQ(text, "Cannot reload servers list - An update operation is in progress!");
        // Owned by the window, which it disables, so that no second one opens behind it.
        EXPECT_EQ(GetWindow(box, GW_OWNER), p.Window());
        EXPECT_FALSE(IsWindowEnabled(p.Window()));
        SendMessageA(box, WM_COMMAND, IDOK, 0);
        return box != nullptr;
    };
    p.Choose(kIdCmbServer, 1);
    p.Click(kIdCmdCheckTime);  // never connected: the run waits 8 s
    ASSERT_TRUE(p.Shows(kIdLblInfo, " Getting Time from ", 3000));
    p.Click(kIdCmdReload);
    ASSERT_TRUE(refused());
    EXPECT_TRUE(p.Shows(kIdLblInfo, " Timeout awaiting for a response."));
    // With "+30 mins" the server's time is half an hour behind this clock.
    p.Choose(kIdCmbServer, 0);
    p.Choose(kIdCmbOffset, 3);
    p.Click(kIdCmdCheckTime);
    Sleep(1000);  // the reply is in and the pause has begun, which shows nowhere outside
    p.Click(kIdCmdReload);
    ASSERT_TRUE(refused());
    EXPECT_TRUE(p.Shows(kIdLblInfo, " Local time inaccurate - difference is 180"));
    // Wine refuses to move its clock by more than half a second.
    p.Click(kIdCmdSynchronize);
    EXPECT_TRUE(p.Shows(kIdLblInfo, " Cannot set the system clock! (An error occurred) 1314:"));
    EXPECT_EQ(p.ItemCount(kIdCmbServer), 2) << "the list beside the exe, not reloaded";
    p.Click(kIdCmdReload);
    EXPECT_TRUE(WaitFor([&] { return p.ItemCount(kIdCmbServer) == 1; }, 5000));

    p.Click(kIdChkAutoRun);
    EXPECT_TRUE(WaitFor([&] { return RunValue() == L"\"" + p.Folder() + L"Veltrano.exe\""; }, 3000)) << RunValue();
    EXPECT_EQ(RunValue(HKEY_LOCAL_MACHINE), L"") << "a folder users may write starts no one else's logon";
    // Notepad names the file it opened in its title: the quoted path arrived
    // whole, and the planted copy, had it started, would show no such window.
    p.Click(kIdCmdEdit);
    const auto notepad = [] { return FindWindowW(nullptr, L"ntp_servers.txt - Notepad"); };
    ASSERT_TRUE(WaitFor([&] { return notepad() != nullptr; }, 5000));
    PostMessageA(notepad(), WM_CLOSE, 0, 0);

    const Process second = p.StartAnother();
    std::string text;
    HWND box = WaitForBox(second.pi.dwProcessId, &text);
    EXPECT_EQ(text, "Veltrano is already running! Did you check your tray icon area?");
    EXPECT_EQ(GetDlgItem(box, IDCANCEL), nullptr) << "OK only";
    SendMessageA(box, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(second.Ended(5000));
}

// Started at logon the shell refuses every icon while it is still starting
// and announces nothing when it is done: only trying again brings the icon.
// At 144 dpi every twip position comes out half as large again, the right
// and bottom edges rounded to the nearest pixel. Then a log-off saves, a
// close hides, and Exit takes the icon away.
TEST_F(MainWindow, IconIsAddedFromLogonToExit) {
    RegSetKeyValueA(HKEY_CURRENT_USER, kSettingsKey, "AutoRun", REG_SZ, "1", 2);
    const char* desktop = "Control Panel\\Desktop";  // a fresh prefix holds no LogPixels
    const DWORD dpi = 144;
    RegSetKeyValueA(HKEY_CURRENT_USER, desktop, "LogPixels", REG_DWORD, &dpi, sizeof dpi);
    Program p(L"Veltrano e2e tray", Servers({loopback::kTimeService}));
    bool started = false;
    EXPECT_GT(WithStartingShell([&] { started = p.Start(false); }), 0);
    RegDeleteKeyValueA(HKEY_CURRENT_USER, desktop, "LogPixels");
    ASSERT_TRUE(started);
    EXPECT_TRUE(WaitFor([&] { return TrayIcon(p.Window()); }, 5000));
    EXPECT_FALSE(p.Visible());

    p.ClickTrayIcon(WM_LBUTTONUP);
    ASSERT_TRUE(WaitFor([&] { return p.Visible() && !IsIconic(p.Window()) && GetForegroundWindow() == p.Window(); },
                        5000)) << "normal and in front";
    RECT r;
    GetClientRect(p.Window(), &r);
    EXPECT_EQ((std::array<LONG, 2>{r.right, r.bottom}), (std::array<LONG, 2>{891, 621}));
    // Left, top, width and height in pixels, worked out from the twips by hand.
    for (auto [id, box] : {std::pair{kIdCmdCheckTime, std::array<LONG, 4>{78, 438, 218, 68}},  // 780, 4380, 2175, 675
                           {kIdLblInfo, {21, 549, 860, 29}},                                   // 210, 5490, 8595, 285
                           {kIdImgClock, {645, 60, 225, 216}}}) {                              // 6450, 600, 2250, 2160
        GetWindowRect(p.Control(id), &r);
        MapWindowPoints(nullptr, p.Window(), reinterpret_cast<POINT*>(&r), 2);
        EXPECT_EQ((std::array<LONG, 4>{r.left, r.top, r.right - r.left, r.bottom - r.top}), box) << id;
    }

    RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Veltrano");
    DWORD_PTR answer = 0;
    SendMessageTimeoutA(p.Window(), WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_ABORTIFHUNG, 3000, &answer);
    EXPECT_EQ(answer, TRUE);
    EXPECT_TRUE(p.Visible()) << "a log-off is not a close: nothing hides";
    EXPECT_EQ(RegText(HKEY_CURRENT_USER, kSettingsKey, "Interval"), L"1") << "log-off saves";
    PostMessageA(p.Window(), WM_ENDSESSION, FALSE, ENDSESSION_LOGOFF);  // the log-off was called off

    PostMessageA(p.Window(), WM_SYSCOMMAND, SC_CLOSE, 0);
    ASSERT_TRUE(WaitFor([&] { return !p.Visible(); }, 5000));
    EXPECT_TRUE(TrayIcon(p.Window()));
    // "&Exit" of the icon's menu, by its access key once the menu shows.
    p.ClickTrayIcon(WM_RBUTTONUP);
    ASSERT_TRUE(WaitFor([] { return IsWindowVisible(FindWindowA("#32768", nullptr)); }, 3000));
    keybd_event('E', 0, 0, 0);
    keybd_event('E', 0, KEYEVENTF_KEYUP, 0);
    std::string text;
    HWND box = WaitForBox(p.Running().pi.dwProcessId, &text);
    EXPECT_EQ(text, "Do you really want to close this application?");
    // Asked from the tray, the question belongs to no one: it would hide with the window.
    EXPECT_EQ(GetWindow(box, GW_OWNER), nullptr);
    // Wine drops the icon of a window gone by itself, a moment later: a shell
    // in front hears whether the program took it away on its way out.
    EXPECT_EQ(WithStartingShell([&] { SendMessageA(box, WM_COMMAND, IDOK, 0); }), 1);
    EXPECT_TRUE(p.Running().Ended(5000));
}

// A screen reader in another process: each button read through MSAA, and
// "Press" starts a check (against the black hole, which keeps the buttons
// disabled for a while) and does nothing on a disabled button.
TEST_F(MainWindow, ButtonsReadAndPressedByScreenReaders) {
    Program p(L"Veltrano e2e msaa", Servers({loopback::kBlackHole}));
    ASSERT_TRUE(p.Start());
    ASSERT_EQ(CoInitialize(nullptr), S_OK);
    const VARIANT self{{{VT_I4, 0, 0, 0, {.lVal = CHILDID_SELF}}}};
    std::map<int, IAccessible*> read;
    const auto number = [&](int id, auto get) { VARIANT v{}; return (read[id]->*get)(self, &v) == S_OK ? v.lVal : -1; };
    const auto text = [&](int id, auto get) {
        BSTR b = nullptr;
        const std::wstring t = (read[id]->*get)(self, &b) == S_OK ? b : L"";
        return SysFreeString(b), t;
    };
    for (auto [id, name] : {std::pair{kIdCmdEdit, L"Edit Server List|Alt+E"}, {kIdCmdHelp, L"Help|Alt+H"},
                            {kIdCmdReload, L"Reload Server List|Alt+R"}, {kIdCmdCheckTime, L"Check Time|Alt+C"},
                            {kIdCmdWebsite, L"Website|Alt+W"}, {kIdCmdDateTimeSettings, L"Date & Time...|Alt+D"},
                            {kIdCmdSynchronize, L"Synchronize|Alt+S"}}) {
        AccessibleObjectFromWindow(p.Control(id), OBJID_CLIENT, __uuidof(IAccessible), (void**)&read[id]);
        ASSERT_NE(read[id], nullptr) << id;
        EXPECT_EQ(text(id, &IAccessible::get_accName) + L"|" + text(id, &IAccessible::get_accKeyboardShortcut), name);
        EXPECT_EQ(std::pair(number(id, &IAccessible::get_accRole), number(id, &IAccessible::get_accState)),
                  std::pair(long{ROLE_SYSTEM_PUSHBUTTON}, long{STATE_SYSTEM_FOCUSABLE})) << id;
    }
    static HWND watched = p.Control(kIdCmdSynchronize);
    static int changes = 0;
    const HWINEVENTHOOK hook = SetWinEventHook(EVENT_OBJECT_STATECHANGE, EVENT_OBJECT_STATECHANGE, nullptr,
        [](HWINEVENTHOOK, DWORD, HWND h, LONG o, LONG, DWORD, DWORD) { changes += h == watched && o == OBJID_CLIENT; },
        p.Running().pi.dwProcessId, 0, WINEVENT_OUTOFCONTEXT);
    p.Choose(kIdCmbServer, 0);
    EXPECT_EQ(read[kIdCmdCheckTime]->accDoDefaultAction(self), S_OK);
    EXPECT_TRUE(p.Shows(kIdLblInfo, " Getting Time from ", 3000) && WaitFor([] { return changes > 0; }, 3000));
    EXPECT_EQ(number(kIdCmdSynchronize, &IAccessible::get_accState), STATE_SYSTEM_UNAVAILABLE) << p.Text(kIdLblInfo);
    read[kIdCmdSynchronize]->accDoDefaultAction(self);
    EXPECT_FALSE(WaitFor([&] { return p.Focus() == watched; }, 1000)) << "a press would take the focus first";
    UnhookWinEvent(hook);
    for (auto [id, object] : read) object->Release();
    CoUninitialize();
}

}  // namespace
