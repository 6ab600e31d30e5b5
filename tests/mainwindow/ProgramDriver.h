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
#include <optional>
#include <string>
#include <vector>

#include "mainwindow/MainLayout.h"
#include "platform/NotifyIcon.h"

namespace e2e {

inline constexpr const char* kSettingsKey = "Software\\Veltrano\\General";
inline constexpr const char* kRunKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

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

// A text value, wide: the program's folder may lie beyond the ANSI code page.
inline std::wstring RegText(HKEY root, const std::string& key, const std::string& name, DWORD flags = RRF_RT_REG_SZ) {
    const auto wide = [](const std::string& ascii) { return std::wstring(ascii.begin(), ascii.end()); };
    wchar_t buf[512] = {};
    DWORD size = sizeof buf;
    RegGetValueW(root, wide(key).c_str(), wide(name).c_str(), flags, nullptr, buf, &size);
    return buf;
}
// The autorun command of this user, or the machine's.
inline std::wstring RunValue(HKEY root = HKEY_CURRENT_USER) { return RegText(root, kRunKey, "Dravelquin"); }
inline void ClearProgramRegistry() {
    RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Veltrano");
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER})
        RegDeleteKeyValueA(root, kRunKey, "Dravelquin");
}

// The program's icon, asked of the shell: a change (NIM_MODIFY) is accepted
// only for an icon it holds.
inline bool TrayIcon(HWND owner) {
    NOTIFYICONDATAA d{};
    d.cbSize = NOTIFYICONDATAA_V1_SIZE, d.hWnd = owner, d.uID = kTrayIconId;
    return Shell_NotifyIconA(NIM_MODIFY, &d) != FALSE;
}

// A process of the test's own, ended with the test should it still run.
struct Process {
    PROCESS_INFORMATION pi{};
    explicit Process(std::wstring commandLine, const wchar_t* folder = nullptr) {
        STARTUPINFOW si{};
        si.cb = sizeof si;
        CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, folder, &si, &pi);
    }
    Process(const Process&) = delete;
    ~Process() {
        if (!Ended(0)) TerminateProcess(pi.hProcess, 1), Ended(5000);
        CloseHandle(pi.hProcess), CloseHandle(pi.hThread);
    }
    bool Ended(DWORD ms) const { return WaitForSingleObject(pi.hProcess, ms) == WAIT_OBJECT_0; }
    bool Succeeds() const { DWORD code = 1; return Ended(60000) && GetExitCodeProcess(pi.hProcess, &code) && !code; }
    // Its main window, found by its class: the title changes with every version.
    HWND MainWindow() const {
        HWND w = nullptr;
        WaitFor([&] { return (w = WindowOf(pi.dwProcessId, "Veltrano.frmMain")) != nullptr; }, 15000);
        return w;
    }
    bool ShowsReady() const {
        const HWND w = MainWindow();
        return w && WaitFor([&] { return WindowTextOf(GetDlgItem(w, kIdLblInfo)) == "Ready."; }, 5000);
    }
};

// One copy of the program in a folder of its own, with its own server list.
class Program {
public:
    Program(const std::wstring& folderName, const std::vector<std::string>& serverLines) {
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        folder_ = temp + folderName + L"\\";
        CreateDirectoryW(folder_.c_str(), nullptr);
        const std::wstring exe = L"Z:" + std::filesystem::path(VELTRANO_EXE).make_preferred().wstring();
        CopyFileW(exe.c_str(), (folder_ + L"Veltrano.exe").c_str(), FALSE);
        WriteServerList(serverLines);
    }
    void WriteServerList(const std::vector<std::string>& lines) const {
        std::ofstream list(std::filesystem::path(folder_ + L"ntp_servers.txt"), std::ios::binary);
        for (const auto& l : lines) list << l << "\r\n";
    }
    const std::wstring& Folder() const { return folder_; }

    // Starts the exe and waits for its main window, and for it to show unless it starts in the tray.
    bool Start(bool shows = true) {
        process_.emplace(L"\"" + folder_ + L"Veltrano.exe\"", folder_.c_str());
        hwnd_ = process_->MainWindow();
        const bool up = hwnd_ && (!shows || WaitFor([&] { return Visible(); }, 5000));
        Settle();
        return up;
    }
    // A start from the same folder.
    Process StartAnother() const { return Process(L"\"" + folder_ + L"Veltrano.exe\"", folder_.c_str()); }
    // Until the program has most likely handled what was posted to it: Wine's
    // WaitForInputIdle only tells when a program first waits for input.
    void Settle() const {
        WaitForInputIdle(process_->pi.hProcess, 3000);
        Sleep(100);
    }
    const Process& Running() const { return *process_; }
    HWND Window() const { return hwnd_; }
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

private:
    std::wstring folder_;
    std::optional<Process> process_;
    HWND hwnd_ = nullptr;
};

}  // namespace e2e
