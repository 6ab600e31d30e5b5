// Started by tray_clicks.sh: a hidden, minimised window with the program's
// tray icon, as Veltrano sits in the tray. It writes what each click on the
// icon made of it, one line each, and ends once the window has been shown.
#include <windows.h>

#include <cstdio>

#include "platform/Process.h"
#include "platform/Win32NotifyIcon.h"

namespace {
FILE* out = nullptr;
NotifyIcon* icon = nullptr;
constexpr UINT_PTR kEndTimer = 1;

void Note(const char* what) {
    std::fputs(what, out);
    std::fputs("\n", out);
    std::fflush(out);
}

LRESULT CALLBACK ProbeProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (icon && icon->HandleTaskbarCreated(msg)) return 0;
    switch (msg) {
    case WM_MOUSEMOVE:
        switch (DecodeTrayMessage(IsIconic(hwnd) != FALSE, static_cast<uint64_t>(lp))) {
        case TrayAction::ShowWindow:
            ShowWindowInFront(hwnd);
            Note(IsWindowVisible(hwnd) && !IsIconic(hwnd) ? "shown" : "not shown");
            SetTimer(hwnd, kEndTimer, 1500, nullptr);
            break;
        case TrayAction::OpenMenu: {
            const TrayMenuChoice choice = ShowTrayMenu(hwnd);
            Note(choice == TrayMenuChoice::Show ? "menu show" : choice == TrayMenuChoice::Exit ? "menu exit" : "menu none");
            break;
        }
        case TrayAction::Nothing:
            break;
        }
        return 0;
    case WM_TIMER:
        // Clicks in the meantime found the window shown and did nothing.
        Note("end");
        icon->Remove();
        EndProgram();
    }
    return DefWindowProcA(hwnd, msg, wp, lp);
}
}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || !(out = std::fopen(argv[1], "wb"))) return 2;
    WNDCLASSA wc{};
    wc.lpfnWndProc = ProbeProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hIcon = LoadIconA(nullptr, IDI_APPLICATION);
    wc.lpszClassName = "VeltranoTrayProbe";
    RegisterClassA(&wc);
    HWND hwnd = CreateWindowExA(0, wc.lpszClassName, "Veltrano tray probe", WS_OVERLAPPEDWINDOW, 100, 100, 300, 200,
                                nullptr, nullptr, wc.hInstance, nullptr);
    ShowWindow(hwnd, SW_MINIMIZE);
    ShowWindow(hwnd, SW_HIDE);
    NotifyIcon trayIcon(hwnd, wc.hIcon, "Korvane Veltrano");
    icon = &trayIcon;
    Note(trayIcon.Add() ? "ready" : "no tray");
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return 0;
}
