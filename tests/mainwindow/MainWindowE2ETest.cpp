// The finished program under Wine, driven from outside against the loopback
// time servers that scripts/test.sh starts.
#include <gtest/gtest.h>

#include "LoopbackPlan.h"
#include "ProgramDriver.h"

namespace {

using namespace e2e;

const std::vector<std::string> kServers = {
    std::string(loopback::kTimeService) + "|" + loopback::kTimeService + "|Live time service",
    std::string(loopback::kNobody) + "|" + loopback::kNobody + "|Nobody listens",
    std::string(loopback::kSilent) + "|" + loopback::kSilent + "|Never answers",
};

struct MainWindow : ::testing::Test {
    void SetUp() override { ClearProgramRegistry(); }
    void TearDown() override { ClearProgramRegistry(); }
};

struct Expected {
    int id;
    RECT r;  // left, top, width, height in pixels, worked out from the twips by hand
};

void ExpectPlaced(const Program& p, const Expected& e) {
    RECT r;
    GetWindowRect(p.Control(e.id), &r);
    MapWindowPoints(nullptr, p.Window(), reinterpret_cast<POINT*>(&r), 2);
    EXPECT_EQ(r.left, e.r.left) << e.id;
    EXPECT_EQ(r.top, e.r.top) << e.id;
    EXPECT_EQ(r.right - r.left, e.r.right) << e.id;
    EXPECT_EQ(r.bottom - r.top, e.r.bottom) << e.id;
}

TEST_F(MainWindow, OpensWithTitleReadyAndTheDesignedLayout) {
    Program p("Veltrano e2e layout", kServers);
    ASSERT_TRUE(p.Start());
    ASSERT_TRUE(WaitFor([&] { return p.Visible(); }, 5000));
    EXPECT_EQ(WindowTextOf(p.Window()), VELTRANO_EXPECTED_TITLE);
    EXPECT_EQ(p.Text(kIdLblInfo), "Ready.");
    EXPECT_EQ(p.ItemCount(kIdCmbServer), 3);
    EXPECT_EQ(p.ItemCount(kIdCmbOffset), 5);
    EXPECT_EQ(p.ChosenIndex(kIdCmbOffset), 2);
    const char* offsets[] = {"-60 mins", "-30 mins", "0 (default)", "+30 mins", "+60 mins"};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(p.ItemText(kIdCmbOffset, i), offsets[i]);
    EXPECT_EQ(p.ItemText(kIdCmbServer, 1), "127.0.0.9 (127.0.0.9)  - Nobody listens");
    EXPECT_EQ(p.Text(kIdTxtInterval), "1");

    RECT client;
    GetClientRect(p.Window(), &client);
    EXPECT_EQ(client.right, 594);
    EXPECT_EQ(client.bottom, 414);
    const Expected expected[] = {
        {kIdOptionsFrame, {14, 0, 575, 189}},       {kIdNtpServersFrame, {404, 198, 185, 99}},
        {kIdOperationsFrame, {14, 198, 383, 165}},  {kIdOtherSettingsFrame, {404, 302, 183, 61}},
        {kIdLabel2, {28, 22, 45, 17}},              {kIdChkUseIP, {36, 54, 365, 17}},
        {kIdLabel1, {54, 86, 213, 17}},             {kIdChkAuto, {34, 122, 239, 17}},
        {kIdTxtInterval, {256, 120, 43, 24}},       {kIdLblAuto, {304, 122, 83, 13}},
        {kIdChkAutoRun, {34, 152, 239, 13}},        {kIdImage1, {430, 40, 150, 144}},
        {kIdCmdEdit, {432, 222, 133, 29}},          {kIdCmdReload, {432, 256, 133, 29}},
        {kIdLabel4, {60, 238, 139, 19}},            {kIdLblTime, {222, 236, 109, 23}},
        {kIdCmdCheckTime, {52, 292, 145, 45}},      {kIdCmdSynchronize, {222, 292, 147, 45}},
        {kIdCmdDateTimeSettings, {432, 324, 133, 29}}, {kIdLblInfo, {14, 366, 573, 19}},
        {kIdCmdWebsite, {498, 386, 89, 29}},        {kIdCmdHelp, {408, 386, 89, 29}},
        {kIdCmbServer, {80, 20, 499, 24}},          {kIdCmbOffset, {256, 82, 113, 24}},
    };
    for (const auto& e : expected) ExpectPlaced(p, e);
    // Tab walks the controls in the designed order, starting where the focus is when the window opens.
    GUITHREADINFO gui{};
    gui.cbSize = sizeof gui;
    GetGUIThreadInfo(GetWindowThreadProcessId(p.Window(), nullptr), &gui);
    EXPECT_EQ(gui.hwndFocus, p.Control(kIdChkAuto));
    const int tabOrder[] = {kIdChkAuto,         kIdTxtInterval,  kIdChkAutoRun, kIdCmdEdit,   kIdCmdReload,
                            kIdCmdCheckTime,    kIdCmdSynchronize, kIdCmdDateTimeSettings, kIdCmbServer,
                            kIdChkUseIP,        kIdCmbOffset,    kIdCmdWebsite, kIdCmdHelp,   kIdChkAuto};
    for (size_t i = 0; i + 1 < std::size(tabOrder); ++i)
        EXPECT_EQ(GetNextDlgTabItem(p.Window(), p.Control(tabOrder[i]), FALSE), p.Control(tabOrder[i + 1])) << i;

    // The clock display follows the local time once the timer runs.
    EXPECT_TRUE(WaitFor([&] { return p.Text(kIdLblTime) != "#"; }, 3000));
}

// At 144 dpi every twip position comes out half as large again, the right
// and bottom edges rounded to the nearest pixel.
TEST_F(MainWindow, ScalesWithTheScreenDpi) {
    HKEY desktop;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Control Panel\\Desktop", 0, KEY_QUERY_VALUE | KEY_SET_VALUE, &desktop),
              ERROR_SUCCESS);
    DWORD before = 0, size = sizeof before;
    const bool had = RegQueryValueExA(desktop, "LogPixels", nullptr, nullptr, reinterpret_cast<BYTE*>(&before), &size) ==
                     ERROR_SUCCESS;
    const DWORD dpi = 144;
    RegSetValueExA(desktop, "LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dpi), sizeof dpi);

    Program p("Veltrano e2e dpi", kServers);
    const bool started = p.Start();
    if (had)
        RegSetValueExA(desktop, "LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&before), sizeof before);
    else
        RegDeleteValueA(desktop, "LogPixels");
    RegCloseKey(desktop);
    ASSERT_TRUE(started);

    RECT client;
    GetClientRect(p.Window(), &client);
    EXPECT_EQ(client.right, 891);
    EXPECT_EQ(client.bottom, 621);
    const Expected expected[] = {
        {kIdCmdCheckTime, {78, 438, 218, 68}},  // 780, 4380, 2175, 675 twips
        {kIdLblInfo, {21, 549, 860, 29}},       // 210, 5490, 8595, 285
        {kIdImage1, {645, 60, 225, 216}},       // 6450, 600, 2250, 2160
    };
    for (const auto& e : expected) ExpectPlaced(p, e);
}

TEST_F(MainWindow, ChecksAndSetsAgainstALiveServer) {
    Program p("Veltrano e2e live", kServers);
    ASSERT_TRUE(p.Start());
    ASSERT_TRUE(WaitFor([&] { return p.Visible(); }, 5000));
    // Alt+C, the access key of "&Check Time".
    p.PressAccessKey('c');
    EXPECT_TRUE(p.WaitForText(kIdLblInfo, " Local time is OK", 10000)) << p.Text(kIdLblInfo);

    // With "+30 mins" the server's time is half an hour behind this clock.
    p.Choose(kIdCmbOffset, 3);
    EXPECT_EQ(ReadRegistryText(HKEY_CURRENT_USER, kSettingsKey, "Offset"), "30");
    p.Click(kIdCmdCheckTime);
    ASSERT_TRUE(p.WaitForTextPrefix(kIdLblInfo, " Local time inaccurate - difference is 180", 15000))
        << p.Text(kIdLblInfo);
    EXPECT_TRUE(p.Text(kIdLblInfo) == " Local time inaccurate - difference is 1800 seconds!" ||
                p.Text(kIdLblInfo) == " Local time inaccurate - difference is 1801 seconds!")
        << p.Text(kIdLblInfo);

    // Wine refuses to move its clock by more than half a second.
    p.Click(kIdCmdSynchronize);
    EXPECT_TRUE(p.WaitForTextPrefix(kIdLblInfo, " Cannot set the system clock! (An error occurred) 1314:", 10000))
        << p.Text(kIdLblInfo);
}

TEST_F(MainWindow, RefusedConnectionEndsWithNoResponse) {
    Program p("Veltrano e2e refused", kServers);
    ASSERT_TRUE(p.Start());
    ASSERT_TRUE(WaitFor([&] { return p.Visible(); }, 5000));
    p.Choose(kIdCmbServer, 1);
    p.Click(kIdCmdCheckTime);
    EXPECT_TRUE(p.WaitForText(kIdLblInfo, " No response received from NTP server.", 10000)) << p.Text(kIdLblInfo);
}

// Servers whose replies once went wrong.
std::vector<std::string> OddServers() {
    std::vector<std::string> lines;
    for (const char* a : {loopback::kLate, loopback::kWrapped, loopback::kBlankEnd, loopback::kFrom1985})
        lines.push_back(std::string(a) + "|" + a + "|odd");
    return lines;
}

// Seconds from now to 2036-02-07 06:28:32 UTC, the wrapped server's time.
int64_t SecondsToWrappedTime() {
    FILETIME ft;
    GetSystemTimeAsFileTime(&ft);
    const int64_t unixNow = static_cast<int64_t>((uint64_t{ft.dwHighDateTime} << 32 | ft.dwLowDateTime) / 10000000) -
                            11644473600;
    return 2085978512 - unixNow;
}

TEST_F(MainWindow, ReloadWaitsForTheWholeRunAndABoxHeldOpenSpoilsNoReply) {
    Program p("Veltrano e2e reload", OddServers());
    ASSERT_TRUE(p.Start());
    ASSERT_TRUE(WaitFor([&] { return p.Visible(); }, 5000));
    auto refusal = [&] {
        HWND box = nullptr;
        EXPECT_TRUE(WaitFor([&] { return (box = FindDialog(p.ProcessId(), "Veltrano")) != nullptr; }, 5000));
        if (box) {
            EXPECT_EQ(DialogText(box), "Cannot reload servers list - An update operation is in progress!");
        }
        return box;
    };

    // The late server answers after 5 s, while the refusal is still open;
    // the box holds the run's wait past its 8 s.
    p.Choose(kIdCmbServer, 0);
    const DWORD started = GetTickCount();
    p.Click(kIdCmdCheckTime);
    Sleep(500);  // the run lets events through once before it connects
    p.WriteServerList({OddServers()[1]});
    p.Click(kIdCmdReload);
    HWND box = refusal();
    ASSERT_TRUE(box);
    const DWORD held = GetTickCount() - started;
    if (held < 9500) Sleep(9500 - held);
    SendMessageA(box, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(p.WaitForText(kIdLblInfo, " Local time is OK", 5000)) << p.Text(kIdLblInfo);

    // The wrapped server's time is years ahead: the check pauses and asks
    // again, and the run is still under way in that pause.
    p.Choose(kIdCmbServer, 1);
    p.Click(kIdCmdCheckTime);
    ASSERT_TRUE(p.WaitForText(kIdLblInfo, std::string(" Getting Time from ") + loopback::kWrapped + " ...", 3000));
    Sleep(1000);
    p.Click(kIdCmdReload);
    box = refusal();
    ASSERT_TRUE(box);
    SendMessageA(box, WM_COMMAND, IDOK, 0);
    EXPECT_EQ(p.ItemCount(kIdCmbServer), 4);
    const std::string prefix = " Local time inaccurate - difference is ";
    ASSERT_TRUE(p.WaitForTextPrefix(kIdLblInfo, prefix, 10000)) << p.Text(kIdLblInfo);
    EXPECT_NEAR(std::stoll(p.Text(kIdLblInfo).substr(prefix.size())), SecondsToWrappedTime(), 3);

    p.Click(kIdCmdReload);
    EXPECT_TRUE(WaitFor([&] { return p.ItemCount(kIdCmbServer) == 1; }, 5000));
}

TEST_F(MainWindow, ACountEndingInABlankCountsAndATimeBeforeTheBuildIsNeverSet) {
    Program p("Veltrano e2e replies", OddServers());
    ASSERT_TRUE(p.Start());
    ASSERT_TRUE(WaitFor([&] { return p.Visible(); }, 5000));
    p.Choose(kIdCmbServer, 2);
    p.Click(kIdCmdCheckTime);
    // The blank moves the time by up to four minutes: OK or a difference, but data all the same.
    EXPECT_TRUE(p.WaitForTextPrefix(kIdLblInfo, " Local time ", 10000)) << p.Text(kIdLblInfo);

    p.Choose(kIdCmbServer, 3);
    p.Click(kIdCmdSynchronize);
    EXPECT_TRUE(p.WaitForText(kIdLblInfo,
                              " Server time 1985-06-01 is older than this program - the clock was not changed!", 5000))
        << p.Text(kIdLblInfo);
}

TEST_F(MainWindow, EveryOptionChangeIsStoredAndComesBack) {
    {
        Program p("Veltrano e2e settings", kServers);
        ASSERT_TRUE(p.Start());
        ASSERT_TRUE(WaitFor([&] { return p.Visible(); }, 5000));
        bool found = true;
        ReadRegistryText(HKEY_CURRENT_USER, kSettingsKey, "Interval", &found);
        EXPECT_FALSE(found) << "start-up writes nothing";

        p.Click(kIdChkUseIP);
        EXPECT_TRUE(WaitFor([] { return ReadRegistryText(HKEY_CURRENT_USER, kSettingsKey, "UseIP") == "1"; }, 3000));
        p.Choose(kIdCmbServer, 2);
        EXPECT_EQ(ReadRegistryText(HKEY_CURRENT_USER, kSettingsKey, "ServerIndex"), "2");
        p.Choose(kIdCmbOffset, 4);
        EXPECT_EQ(ReadRegistryText(HKEY_CURRENT_USER, kSettingsKey, "Offset"), "60");

        p.Click(kIdTxtInterval);
        p.KeyDown(kIdTxtInterval, VK_END);
        p.TypeChar(kIdTxtInterval, '\b');
        EXPECT_TRUE(WaitFor([] { return ReadRegistryText(HKEY_CURRENT_USER, kSettingsKey, "Interval") == ""; }, 3000));
        p.TypeChar(kIdTxtInterval, '7');
        EXPECT_TRUE(WaitFor([] { return ReadRegistryText(HKEY_CURRENT_USER, kSettingsKey, "Interval") == "7"; }, 3000));
    }
    Program again("Veltrano e2e settings", kServers);
    ASSERT_TRUE(again.Start());
    ASSERT_TRUE(WaitFor([&] { return again.Visible(); }, 5000));
    EXPECT_TRUE(again.Checked(kIdChkUseIP));
    EXPECT_FALSE(again.Checked(kIdChkAuto));
    EXPECT_EQ(again.Text(kIdTxtInterval), "7");
    EXPECT_EQ(again.ChosenIndex(kIdCmbServer), 2);
    EXPECT_EQ(again.ChosenIndex(kIdCmbOffset), 4);
}

TEST_F(MainWindow, AutorunWritesTheRunValueAndStartsInTheTray) {
    std::string folder;
    {
        Program p("Veltrano e2e autorun", kServers);
        folder = p.Folder();
        ASSERT_TRUE(p.Start());
        ASSERT_TRUE(WaitFor([&] { return p.Visible(); }, 5000));
        p.Click(kIdChkAutoRun);
        // The folder has a blank: the command is quoted.
        EXPECT_TRUE(WaitFor(
            [&] {
                return ReadRegistryText(HKEY_LOCAL_MACHINE, kRunKey, "Dravelquin") ==
                       "\"" + folder + "Veltrano.exe\"";
            },
            3000))
            << ReadRegistryText(HKEY_LOCAL_MACHINE, kRunKey, "Dravelquin");
    }
    Program p("Veltrano e2e autorun", kServers);
    ASSERT_TRUE(p.Start());
    Sleep(1500);
    EXPECT_FALSE(p.Visible());
    EXPECT_TRUE(TrayIconPresent(p.Window()));
    ASSERT_TRUE(p.ShowFromTray());
    p.Click(kIdChkAutoRun);
    bool found = false;
    EXPECT_TRUE(WaitFor([&] { return ReadRegistryText(HKEY_LOCAL_MACHINE, kRunKey, "Dravelquin", &found).empty(); },
                        3000));
    EXPECT_TRUE(found) << "emptied, not deleted";
}

TEST_F(MainWindow, AutomaticSynchronisationSetsTheClockOnceAtStart) {
    HKEY k;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &k, nullptr),
              ERROR_SUCCESS);
    for (auto [name, value] : {std::pair{"Auto", "1"}, std::pair{"Offset", "30"}, std::pair{"Interval", "15"}})
        RegSetValueExA(k, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value), static_cast<DWORD>(strlen(value) + 1));
    RegCloseKey(k);

    Program p("Veltrano e2e auto", kServers);
    ASSERT_TRUE(p.Start());
    // Half an hour is more than Wine lets a program move its clock.
    EXPECT_TRUE(p.WaitForTextPrefix(kIdLblInfo, " Cannot set the system clock! (An error occurred) 1314:", 10000))
        << p.Text(kIdLblInfo);
    EXPECT_TRUE(p.Checked(kIdChkAuto));
    // A setting run, failed or not, restarts the interval: no second run follows at once.
    Sleep(1500);
    EXPECT_EQ(p.Text(kIdLblInfo).rfind(" Cannot set the system clock!", 0), 0u);
}

TEST_F(MainWindow, CloseBoxHidesToTheTrayAndTheIconBringsItBack) {
    Program p("Veltrano e2e tray", kServers);
    ASSERT_TRUE(p.Start());
    ASSERT_TRUE(WaitFor([&] { return p.Visible(); }, 5000));
    PostMessageA(p.Window(), WM_SYSCOMMAND, SC_CLOSE, 0);
    ASSERT_TRUE(WaitFor([&] { return !p.Visible(); }, 5000));
    EXPECT_TRUE(p.Running());
    EXPECT_TRUE(TrayIconPresent(p.Window()));
    EXPECT_EQ(ReadRegistryText(HKEY_CURRENT_USER, kSettingsKey, "Interval"), "1") << "closing saves";

    EXPECT_TRUE(p.ShowFromTray()) << "normal and in front";
}

TEST_F(MainWindow, ExitFromTheTrayMenuAsksFirst) {
    Program p("Veltrano e2e exit", kServers);
    ASSERT_TRUE(p.Start());
    ASSERT_TRUE(WaitFor([&] { return p.Visible(); }, 5000));
    PostMessageA(p.Window(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
    ASSERT_TRUE(WaitFor([&] { return !p.Visible(); }, 5000));

    for (bool confirm : {false, true}) {
        MouseClickAt(kTrayIconPoint, true);
        Sleep(500);
        PressKey('E');  // "&Exit"
        HWND box = nullptr;
        ASSERT_TRUE(WaitFor([&] { return (box = FindDialog(p.ProcessId(), "Veltrano")) != nullptr; }, 5000));
        EXPECT_EQ(DialogText(box), "Do you really want to close this application?");
        SendMessageA(box, WM_COMMAND, confirm ? IDOK : IDCANCEL, 0);
        if (!confirm) {
            Sleep(300);
            EXPECT_TRUE(p.Running());
            EXPECT_TRUE(TrayIconPresent(p.Window()));
        }
    }
    HWND window = p.Window();
    EXPECT_TRUE(p.WaitForExit(5000));
    EXPECT_FALSE(TrayIconPresent(window));
}

TEST_F(MainWindow, SecondStartIsRefusedWithOneMessage) {
    Program p("Veltrano e2e twice", kServers);
    ASSERT_TRUE(p.Start());
    PROCESS_INFORMATION second = p.StartAnother();
    ASSERT_TRUE(second.hProcess);
    HWND box = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (box = FindDialog(second.dwProcessId, "Veltrano")) != nullptr; }, 10000));
    EXPECT_EQ(DialogText(box), "Veltrano is already running! Did you check your tray icon area?");
    EXPECT_EQ(GetDlgItem(box, IDCANCEL), nullptr) << "OK only";
    SendMessageA(box, WM_COMMAND, IDOK, 0);
    EXPECT_EQ(WaitForSingleObject(second.hProcess, 5000), WAIT_OBJECT_0);
    CloseHandle(second.hProcess);
    CloseHandle(second.hThread);
    EXPECT_TRUE(p.Running());
}

TEST_F(MainWindow, IconComesBackWhenTheTaskbarIsCreatedAgain) {
    Program p("Veltrano e2e taskbar", kServers);
    ASSERT_TRUE(p.Start());
    ASSERT_TRUE(WaitFor([&] { return TrayIconPresent(p.Window()); }, 5000));
    RemoveTrayIcon(p.Window());  // what an Explorer restart does to every icon
    ASSERT_FALSE(TrayIconPresent(p.Window()));
    PostMessageA(HWND_BROADCAST, RegisterWindowMessageA("TaskbarCreated"), 0, 0);
    EXPECT_TRUE(WaitFor([&] { return TrayIconPresent(p.Window()); }, 5000));
}

TEST_F(MainWindow, LogOffSavesRemovesTheIconAndEnds) {
    Program p("Veltrano e2e logoff", kServers);
    ASSERT_TRUE(p.Start());
    ASSERT_TRUE(WaitFor([&] { return p.Visible(); }, 5000));
    HWND window = p.Window();
    DWORD_PTR answer = 0;
    SendMessageTimeoutA(window, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_ABORTIFHUNG, 3000, &answer);
    EXPECT_EQ(answer, TRUE);
    EXPECT_EQ(ReadRegistryText(HKEY_CURRENT_USER, kSettingsKey, "Interval"), "1");
    PostMessageA(window, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
    EXPECT_TRUE(p.WaitForExit(5000));
    EXPECT_FALSE(TrayIconPresent(window));
}

}  // namespace
