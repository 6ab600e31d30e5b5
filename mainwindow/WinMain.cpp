#include <winsock2.h>
#include <windows.h>

#include <memory>

#include "clock/SyncRun.h"
#include "mainwindow/Win32Controls.h"
#include "platform/Win32EventPump.h"
#include "platform/Win32Socket.h"
#include "platform/Win32SystemClock.h"

// A plain window around one synchronisation run: a server chooser, the two
// run buttons and the status line, on this computer's own time service.
namespace {

constexpr int kIdServer = 101, kIdUseIp = 102, kIdCheck = 103, kIdSync = 104, kIdInfo = 105;

struct App {
    ServerTable serverTable{{"localhost", "127.0.0.1", "Time service on this computer"}};
    int32_t offsetMinutes = 0;
    bool windowsClosing = false;
    WindowText lblInfo;
    WindowEnabled cmdCheckTime, cmdSynchronize;
    ComboIndex cmbServer;
    CheckBoxValue chkUseIP;
    Win32SystemClock clock;
    Win32EventPump pump;
    std::unique_ptr<Win32Socket> winsock1;
    std::unique_ptr<SyncRun> run;
};

App* app = nullptr;

HWND Child(HWND parent, const char* cls, const char* text, DWORD style, int x, int y, int w, int h, int id) {
    HWND c = CreateWindowExA(0, cls, text, WS_CHILD | WS_VISIBLE | style, x, y, w, h, parent,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleA(nullptr), nullptr);
    SendMessageA(c, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), TRUE);
    return c;
}

LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_CREATE: {
        HWND combo = Child(hwnd, "COMBOBOX", "", CBS_DROPDOWNLIST | WS_TABSTOP, 10, 10, 380, 200, kIdServer);
        for (const auto& e : app->serverTable) {
            const std::string item = e.Host + "  (" + e.Address + ")  - " + e.Description;
            SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
        }
        SendMessageA(combo, CB_SETCURSEL, 0, 0);
        app->cmbServer.Attach(combo);
        app->chkUseIP.Attach(Child(hwnd, "BUTTON", "Use IP address if available ( Recommended )",
                                   BS_AUTOCHECKBOX | WS_TABSTOP, 10, 40, 380, 20, kIdUseIp));
        app->cmdCheckTime.Attach(Child(hwnd, "BUTTON", "&Check Time", WS_TABSTOP, 10, 70, 120, 28, kIdCheck));
        app->cmdSynchronize.Attach(Child(hwnd, "BUTTON", "&Synchronize", WS_TABSTOP, 140, 70, 120, 28, kIdSync));
        app->lblInfo.Attach(Child(hwnd, "STATIC", "Ready.", SS_LEFT, 10, 110, 380, 20, kIdInfo));
        return 0;
    }
    case WM_COMMAND:
        if (LOWORD(wp) == kIdCheck && HIWORD(wp) == BN_CLICKED) app->run->SyncTime(true, false);
        if (LOWORD(wp) == kIdSync && HIWORD(wp) == BN_CLICKED) app->run->SyncTime(false, false);
        return 0;
    case WM_QUERYENDSESSION:
        app->windowsClosing = true;
        return TRUE;
    case WM_DESTROY:
        app->windowsClosing = true;
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wp, lp);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
    App state;
    app = &state;
    WNDCLASSA wc{};
    wc.lpfnWndProc = WndProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = "VeltranoSyncWindow";
    RegisterClassA(&wc);

    HWND hwnd = CreateWindowExA(0, wc.lpszClassName, "Veltrano", WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX,
                                CW_USEDEFAULT, CW_USEDEFAULT, 420, 180, nullptr, nullptr, instance, nullptr);
    if (!hwnd) return 1;
    state.pump.SetDialog(hwnd);
    state.winsock1 = std::make_unique<Win32Socket>();
    state.run = std::make_unique<SyncRun>(
        SyncControls{state.lblInfo, state.cmdCheckTime, state.cmdSynchronize, state.cmbServer, state.chkUseIP},
        SyncShared{state.serverTable, state.offsetMinutes, state.windowsClosing}, *state.winsock1, state.clock,
        state.pump);
    state.winsock1->SetEvents(state.run.get());
    ShowWindow(hwnd, show);

    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) state.pump.Dispatch(msg);
    return 0;
}
