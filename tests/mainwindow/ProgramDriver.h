#pragma once
// Drives the real Veltrano.exe from outside, as a user would: a program
// folder of its own, the window's controls worked and read back through
// messages, and the registry the program writes.
#include <windows.h>

#include <shellapi.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "mainwindow/MainLayout.h"
#include "platform/NotifyIcon.h"

namespace e2e {

inline constexpr const char* kSettingsKey = "Software\\Veltrano\\General";

// Polls cond every 20 ms for at most timeoutMs while this thread's own
// messages keep flowing.
inline bool WaitFor(const std::function<bool()>& cond, DWORD timeoutMs) {
    for (const DWORD start = GetTickCount(); !cond(); Sleep(20)) {
        if (GetTickCount() - start > timeoutMs) return false;
        for (MSG msg; PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE);) DispatchMessageA(&msg);
    }
    return true;
}

inline std::string WindowTextOf(HWND hwnd) {
    char buf[512] = {};
    SendMessageTimeoutA(hwnd, WM_GETTEXT, sizeof buf, LPARAM(buf), SMTO_ABORTIFHUNG, 2000, nullptr);
    return buf;
}

// A top-level window of the process pid.
inline HWND WindowOf(DWORD pid, const char* windowClass, const char* title = nullptr) {
    for (HWND h = nullptr; (h = FindWindowExA(nullptr, h, windowClass, title)) != nullptr;) {
        DWORD owner = 0;
        GetWindowThreadProcessId(h, &owner);
        if (owner == pid) return h;
    }
    return nullptr;
}

// Waits for a message box of the process (all are titled "Veltrano") and
// gives its text: its one static control that is not the icon.
inline HWND WaitForBox(DWORD pid, std::string* text, DWORD ms = 10000) {
    HWND box = nullptr;
    WaitFor([&] { return IsWindowVisible(box = WindowOf(pid, "#32770", "Veltrano")); }, ms);
    for (HWND c = nullptr; box && (c = FindWindowExA(box, c, "Static", nullptr)) != nullptr;)
        if (!WindowTextOf(c).empty()) *text = WindowTextOf(c);
    return box;
}

inline std::string ReadRegistryText(const char* value) {
    char buf[512] = {};
    DWORD size = sizeof buf;
    RegGetValueA(HKEY_CURRENT_USER, kSettingsKey, value, RRF_RT_REG_SZ, nullptr, buf, &size);
    return buf;
}
// The autorun command of this user, or the machine's, wide: the program's
// folder may lie beyond the ANSI code page.
inline std::wstring RunValue(HKEY root = HKEY_CURRENT_USER) {
    wchar_t buf[512] = {};
    DWORD size = sizeof buf;
    RegGetValueW(root, L"Software\\Microsoft\\Windows\\CurrentVersion\\Run", L"Dravelquin",
                 RRF_RT_REG_SZ, nullptr, buf, &size);
    return buf;
}
inline void ClearProgramRegistry() {
    RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Veltrano");
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER})
        RegDeleteKeyValueA(root, "Software\\Microsoft\\Windows\\CurrentVersion\\Run", "Dravelquin");
}

// The program's icon, asked of the shell: a change (NIM_MODIFY) is accepted
// only for an icon it holds.
inline bool TrayIcon(HWND owner, DWORD action = NIM_MODIFY) {
    NOTIFYICONDATAA d{};
    d.cbSize = NOTIFYICONDATAA_V1_SIZE, d.hWnd = owner, d.uID = kTrayIconId;
    return Shell_NotifyIconA(action, &d) != FALSE;
}

// One copy of the program in a folder of its own, with its own server list.
class Program {
public:
    Program(const std::wstring& folderName, const std::vector<std::string>& serverLines) {
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        folder_ = temp + folderName + L"\\";
        CreateDirectoryW(folder_.c_str(), nullptr);
        std::wstring exe = L"Z:" + std::wstring(VELTRANO_EXE, VELTRANO_EXE + strlen(VELTRANO_EXE));
        for (wchar_t& c : exe) c = c == L'/' ? L'\\' : c;
        CopyFileW(exe.c_str(), (folder_ + L"Veltrano.exe").c_str(), FALSE);
        WriteServerList(serverLines);
    }
    ~Program() {
        TerminateProcess(process_, 0);
        WaitForSingleObject(process_, 5000);
        CloseHandle(process_);
    }

    void WriteServerList(const std::vector<std::string>& lines) const {
        std::ofstream list(std::filesystem::path(folder_ + L"ntp_servers.txt"), std::ios::binary);
        for (const auto& l : lines) list << l << "\r\n";
    }
    const std::wstring& Folder() const { return folder_; }

    // Starts the exe and waits for its main window (found by its class: the title
    // changes with every version), and for it to show unless it starts in the tray.
    bool Start(bool shows = true) {
        const PROCESS_INFORMATION pi = StartAnother();
        CloseHandle(pi.hThread);
        process_ = pi.hProcess;
        pid_ = pi.dwProcessId;
        const bool up = WaitFor([&] { return (hwnd_ = WindowOf(pid_, "Veltrano.frmMain")) != nullptr; }, 15000) &&
                        (!shows || WaitFor([&] { return Visible(); }, 5000));
        Settle();
        return up;
    }
    // A start from the same folder; returns its process.
    PROCESS_INFORMATION StartAnother() const {
        STARTUPINFOW si{};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi{};
        std::wstring cmd = L"\"" + folder_ + L"Veltrano.exe\"";
        CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, folder_.c_str(), &si, &pi);
        return pi;
    }
    // Until the program has most likely handled what was posted to it: Wine's
    // WaitForInputIdle only tells when a program first waits for input.
    void Settle() const {
        WaitForInputIdle(process_, 3000);
        Sleep(100);
    }
    bool WaitForExit(DWORD ms) const { return WaitForSingleObject(process_, ms) == WAIT_OBJECT_0; }

    HWND Window() const { return hwnd_; }
    DWORD ProcessId() const { return pid_; }
    HWND Control(int id) const { return GetDlgItem(hwnd_, id); }
    std::string Text(int id) const { return WindowTextOf(Control(id)); }
    // Whether the control comes to show text that starts with prefix; the text it shows otherwise.
    ::testing::AssertionResult Shows(int id, const std::string& prefix, DWORD ms = 10000) const {
        if (WaitFor([&] { return Text(id).rfind(prefix, 0) == 0; }, ms)) return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << "shows \"" << Text(id) << "\"";
    }
    bool Visible() const { return IsWindowVisible(hwnd_) != FALSE; }
    int ItemCount(int comboId) const { return int(SendMessageA(Control(comboId), CB_GETCOUNT, 0, 0)); }
    HWND Focus() const {
        GUITHREADINFO gui{};
        gui.cbSize = sizeof gui;
        GetGUIThreadInfo(GetWindowThreadProcessId(hwnd_, nullptr), &gui);
        return gui.hwndFocus;
    }

    // A click in the middle of a control: the pointer goes there, so that
    // the buttons' own polling agrees, and the mouse messages follow in order.
    // Posted rather than sent through the input queue, where the activation
    // of the window could overtake them.
    void Click(int id) const {
        RECT r;
        GetClientRect(Control(id), &r);
        POINT screen{r.right / 2, r.bottom / 2};
        const LPARAM at = MAKELPARAM(screen.x, screen.y);
        ClientToScreen(Control(id), &screen);
        SetCursorPos(screen.x, screen.y);
        PostMessageA(Control(id), WM_MOUSEMOVE, 0, at);
        PostMessageA(Control(id), WM_LBUTTONDOWN, MK_LBUTTON, at);
        PostMessageA(Control(id), WM_LBUTTONUP, 0, at);
        Settle();
    }
    // Picks a chooser item as the mouse would, with the notification that follows.
    void Choose(int comboId, int index) const {
        SendMessageA(Control(comboId), CB_SETCURSEL, WPARAM(index), 0);
        SendMessageA(hwnd_, WM_COMMAND, MAKEWPARAM(comboId, CBN_SELCHANGE), LPARAM(Control(comboId)));
    }
    // A release of the left or right button on the icon, as the shell reports it.
    void ClickTrayIcon(UINT button) const { PostMessageA(hwnd_, kTrayCallbackMessage, kTrayIconId, button); }
    // Shows the window from the tray, as the user would at first. True once
    // it is normal and in front.
    bool ShowFromTray() const {
        ClickTrayIcon(WM_LBUTTONUP);
        return WaitFor([&] { return Visible() && !IsIconic(hwnd_) && GetForegroundWindow() == hwnd_; }, 5000);
    }

private:
    std::wstring folder_;
    HANDLE process_ = nullptr;
    DWORD pid_ = 0;
    HWND hwnd_ = nullptr;
};

}  // namespace e2e
