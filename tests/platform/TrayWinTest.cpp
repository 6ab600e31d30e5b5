// Runs against Wine's own notification area: the virtual desktop that
// scripts/test.sh sets up has a taskbar.
#include <windows.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <memory>

#include "platform/Win32NotifyIcon.h"

namespace {

NotifyIcon* current = nullptr;

LRESULT CALLBACK IconOwnerProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (current && current->HandleTaskbarCreated(msg)) return 0;
    return DefWindowProcA(hwnd, msg, wp, lp);
}

// A hidden top-level window, as the main window is while in the tray:
// broadcasts reach it.
struct IconOwner {
    HWND hwnd;
    IconOwner() {
        WNDCLASSA wc{};
        wc.lpfnWndProc = IconOwnerProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "VeltranoTrayTestOwner";
        RegisterClassA(&wc);
        hwnd = CreateWindowExA(0, wc.lpszClassName, "tray test", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr,
                               nullptr, wc.hInstance, nullptr);
    }
    ~IconOwner() { DestroyWindow(hwnd); }
};

// The shell accepts a change only for an icon that it holds.
bool IconPresent(HWND owner) {
    NOTIFYICONDATAA probe{};
    probe.cbSize = NOTIFYICONDATAA_V1_SIZE;
    probe.hWnd = owner;
    probe.uID = kTrayIconId;
    return Shell_NotifyIconA(NIM_MODIFY, &probe) != FALSE;
}

void Pump(DWORD milliseconds) {
    const DWORD end = GetTickCount() + milliseconds;
    MSG msg;
    while (static_cast<LONG>(end - GetTickCount()) > 0) {
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
        Sleep(10);
    }
}

// The explorer restart as the program sees it: its icon gone, then the
// taskbar's announcement to every top-level window.
void ExplorerRestarts(HWND owner) {
    NOTIFYICONDATAA lost{};
    lost.cbSize = NOTIFYICONDATAA_V1_SIZE;
    lost.hWnd = owner;
    lost.uID = kTrayIconId;
    Shell_NotifyIconA(NIM_DELETE, &lost);
    ASSERT_FALSE(IconPresent(owner));
    PostMessageA(HWND_BROADCAST, NotifyIcon::TaskbarCreatedMessage(), 0, 0);
    Pump(300);
}

struct TrayIconTest : ::testing::Test {
    IconOwner owner;
    std::unique_ptr<NotifyIcon> icon;
    void SetUp() override {
        ASSERT_TRUE(owner.hwnd);
        icon = std::make_unique<NotifyIcon>(owner.hwnd, LoadIconA(nullptr, IDI_APPLICATION), "Korvane Veltrano");
        current = icon.get();
    }
    void TearDown() override {
        current = nullptr;
        icon.reset();
    }
};

TEST_F(TrayIconTest, ComesBackWhenTheTaskbarIsCreatedAgain) {
    ASSERT_TRUE(icon->Add());
    ExplorerRestarts(owner.hwnd);
    EXPECT_TRUE(IconPresent(owner.hwnd));
    // And again: a second restart is no different.
    ExplorerRestarts(owner.hwnd);
    EXPECT_TRUE(IconPresent(owner.hwnd));
}

TEST_F(TrayIconTest, RemovedIconStaysAwayAfterTaskbarCreated) {
    ASSERT_TRUE(icon->Add());
    icon->Remove();
    PostMessageA(HWND_BROADCAST, NotifyIcon::TaskbarCreatedMessage(), 0, 0);
    Pump(300);
    EXPECT_FALSE(IconPresent(owner.hwnd));
}

TEST_F(TrayIconTest, DestroyingTheObjectTakesTheIconAway) {
    ASSERT_TRUE(icon->Add());
    icon.reset();
    current = nullptr;
    EXPECT_FALSE(IconPresent(owner.hwnd));
}

}  // namespace
