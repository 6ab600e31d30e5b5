// The window's own manners under Wine, driven from outside: which clicks
// count, whom its message boxes belong to, and its icon when the shell is late.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "LoopbackPlan.h"
#include "ProgramDriver.h"

namespace {

using namespace e2e;

const std::vector<std::string> kServers = {
    std::string(loopback::kTimeService) + "|" + loopback::kTimeService + "|Live time service",
    std::string(loopback::kSilent) + "|" + loopback::kSilent + "|Never answers",
};

struct Window : ::testing::Test {
    void SetUp() override { ClearProgramRegistry(); }
    void TearDown() override { ClearProgramRegistry(); }
};

// A notification area that refuses every icon, as the shell's does while it
// is still starting at logon. The topmost window of its class, it is found
// ahead of the real one; it announces nothing when it goes.
class StartingShell {
public:
    StartingShell() : thread_([this] { Run(); }) { WaitFor([&] { return hwnd_ != nullptr; }, 5000); }
    ~StartingShell() { Ready(); }
    // Done starting: the stand-in goes, and the real taskbar answers from now on.
    void Ready() {
        if (!thread_.joinable()) return;
        PostMessageA(hwnd_, WM_CLOSE, 0, 0);
        thread_.join();
    }
    static int Refused() { return refused; }

private:
    void Run() {
        WNDCLASSA wc{};
        wc.lpfnWndProc = [](HWND h, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
            if (m == WM_COPYDATA) return ++refused, FALSE;
            if (m == WM_DESTROY) PostQuitMessage(0);
            return DefWindowProcA(h, m, wp, lp);
        };
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "Shell_TrayWnd";
        RegisterClassA(&wc);
        hwnd_ = CreateWindowExA(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, wc.lpszClassName, "", WS_POPUP, 0, 0, 0, 0, nullptr,
                                nullptr, wc.hInstance, nullptr);
        MSG msg;
        while (hwnd_ && GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
    }

    static inline std::atomic<int> refused = 0;
    std::atomic<HWND> hwnd_ = nullptr;
    std::thread thread_;
};

TEST_F(Window, RightClickOnAButtonDoesNothing) {
    Program p("Veltrano e2e right click", kServers);
    ASSERT_TRUE(p.Start());
    ASSERT_TRUE(WaitFor([&] { return p.Visible(); }, 5000));
    p.Click(kIdCmdCheckTime, true);
    EXPECT_FALSE(WaitFor([&] { return p.Text(kIdLblInfo) != "Ready."; }, 1000)) << p.Text(kIdLblInfo);
}

TEST_F(Window, MessageBoxesBelongToTheWindowOnlyWhileItShows) {
    Program p("Veltrano e2e owner", kServers);
    ASSERT_TRUE(p.Start());
    ASSERT_TRUE(WaitFor([&] { return p.Visible(); }, 5000));
    p.Choose(kIdCmbServer, 1);
    p.Click(kIdCmdCheckTime);
    ASSERT_TRUE(p.WaitForText(kIdLblInfo, std::string(" Getting Time from ") + loopback::kSilent + " ...", 5000));
    p.Click(kIdCmdReload);
    HWND box = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (box = FindDialog(p.ProcessId(), "Veltrano")) != nullptr; }, 5000));
    EXPECT_EQ(GetWindow(box, GW_OWNER), p.Window());
    EXPECT_FALSE(IsWindowEnabled(p.Window())) << "a second refusal could be asked for behind the first";
    SendMessageA(box, WM_COMMAND, IDOK, 0);

    // Asked from the tray, the question belongs to no one: it would hide with the window.
    PostMessageA(p.Window(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
    ASSERT_TRUE(WaitFor([&] { return !p.Visible(); }, 5000));
    MouseClickAt(kTrayIconPoint, true);
    Sleep(500);
    PressKey('E');  // "&Exit"
    ASSERT_TRUE(WaitFor([&] { return (box = FindDialog(p.ProcessId(), "Veltrano")) != nullptr; }, 5000));
    EXPECT_EQ(GetWindow(box, GW_OWNER), nullptr);
    SendMessageA(box, WM_COMMAND, IDCANCEL, 0);
}

TEST_F(Window, IconIsAddedOnceTheShellHasStarted) {
    StartingShell shell;
    Program p("Veltrano e2e late shell", kServers);
    ASSERT_TRUE(p.Start());
    ASSERT_TRUE(WaitFor([] { return StartingShell::Refused() > 0; }, 5000));
    shell.Ready();
    // No TaskbarCreated comes: only trying again brings the icon.
    EXPECT_TRUE(WaitFor([&] { return TrayIconPresent(p.Window()); }, 5000));
}

}  // namespace
