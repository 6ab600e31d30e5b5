#pragma once
// Drives the real Veltrano.exe from outside, as a user would: a program
// folder of its own, real mouse input, the window's controls read back
// through messages, and the registry the program writes.
#include <windows.h>
#include <shellapi.h>

#include <functional>
#include <string>
#include <vector>

#include "mainwindow/MainLayout.h"

namespace e2e {

// Found by its class, not its title, which changes with every version.
inline constexpr const char* kMainWindowClass = "Veltrano.frmMain";
inline constexpr const char* kSettingsKey = "Software\\Veltrano\\General";
inline constexpr const char* kRunKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
// Where Wine's taskbar shows the only icon of its notification area on a
// 1024 x 768 virtual desktop.
inline constexpr POINT kTrayIconPoint{1013, 757};

// Polls cond every 20 ms for at most timeoutMs while this thread's own
// messages keep flowing.
inline bool WaitFor(const std::function<bool()>& cond, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    for (;;) {
        if (cond()) return true;
        if (GetTickCount() - start > timeoutMs) return false;
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
        Sleep(20);
    }
}

inline std::string WindowTextOf(HWND hwnd) {
    char buf[512] = {};
    SendMessageTimeoutA(hwnd, WM_GETTEXT, sizeof buf, reinterpret_cast<LPARAM>(buf), SMTO_ABORTIFHUNG, 2000, nullptr);
    return buf;
}

// The main window of the process pid; there may be others of its class.
inline HWND FindMainWindow(DWORD pid) {
    HWND h = nullptr;
    while ((h = FindWindowExA(nullptr, h, kMainWindowClass, nullptr)) != nullptr) {
        DWORD owner = 0;
        GetWindowThreadProcessId(h, &owner);
        if (owner == pid) return h;
    }
    return nullptr;
}

// Folder names may lie outside the ANSI code page: the driver keeps them as
// UTF-8 and hands them to Windows as UTF-16.
inline std::wstring Wide(const std::string& utf8) {
    const int n = static_cast<int>(utf8.size());
    std::wstring w(utf8.size(), L'\0');
    w.resize(static_cast<size_t>(MultiByteToWideChar(CP_UTF8, 0, utf8.data(), n, w.data(), n)));
    return w;
}
inline std::string Utf8(const std::wstring& wide) {
    const int n = static_cast<int>(wide.size());
    std::string s(wide.size() * 3, '\0');
    s.resize(static_cast<size_t>(WideCharToMultiByte(CP_UTF8, 0, wide.data(), n, s.data(), n * 3, nullptr, nullptr)));
    return s;
}

// A unix path as Wine sees it.
inline std::string WinePath(std::string unixPath) {
    for (char& c : unixPath)
        if (c == '/') c = '\\';
    return "Z:" + unixPath;
}

inline std::string ReadRegistryText(HKEY root, const char* key, const char* value, bool* found = nullptr) {
    char buf[1024] = {};
    DWORD size = sizeof buf, type = 0;
    HKEY k;
    bool ok = false;
    if (RegOpenKeyExA(root, key, 0, KEY_QUERY_VALUE, &k) == ERROR_SUCCESS) {
        ok = RegQueryValueExA(k, value, nullptr, &type, reinterpret_cast<BYTE*>(buf), &size) == ERROR_SUCCESS &&
             type == REG_SZ;
        RegCloseKey(k);
    }
    if (found) *found = ok;
    return ok ? std::string(buf) : std::string();
}

inline void ClearProgramRegistry() {
    RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Veltrano");
    HKEY k;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kRunKey, 0, KEY_SET_VALUE, &k) == ERROR_SUCCESS) {
        RegDeleteValueA(k, "Dravelquin");
        RegCloseKey(k);
    }
}

// The program's icon, asked of the shell: a change is accepted only for an
// icon it holds.
inline bool TrayIconPresent(HWND owner) {
    NOTIFYICONDATAA probe{};
    probe.cbSize = NOTIFYICONDATAA_V1_SIZE;
    probe.hWnd = owner;
    probe.uID = 1;
    return Shell_NotifyIconA(NIM_MODIFY, &probe) != FALSE;
}

inline void RemoveTrayIcon(HWND owner) {
    NOTIFYICONDATAA d{};
    d.cbSize = NOTIFYICONDATAA_V1_SIZE;
    d.hWnd = owner;
    d.uID = 1;
    Shell_NotifyIconA(NIM_DELETE, &d);
}

inline void MouseClickAt(POINT p, bool right = false) {
    SetCursorPos(p.x, p.y);
    Sleep(50);
    INPUT in[2] = {};
    in[0].type = in[1].type = INPUT_MOUSE;
    in[0].mi.dwFlags = right ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_LEFTDOWN;
    in[1].mi.dwFlags = right ? MOUSEEVENTF_RIGHTUP : MOUSEEVENTF_LEFTUP;
    SendInput(1, &in[0], sizeof(INPUT));
    Sleep(30);
    SendInput(1, &in[1], sizeof(INPUT));
}

inline void PressKey(WORD vk) {
    INPUT in[2] = {};
    in[0].type = in[1].type = INPUT_KEYBOARD;
    in[0].ki.wVk = in[1].ki.wVk = vk;
    in[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, in, sizeof(INPUT));
}

// A top-level dialog box of the given process with this title, if one shows.
inline HWND FindDialog(DWORD processId, const char* title) {
    struct Search {
        DWORD pid;
        const char* title;
        HWND found;
    } s{processId, title, nullptr};
    EnumWindows(
        [](HWND h, LPARAM lp) -> BOOL {
            auto* s = reinterpret_cast<Search*>(lp);
            DWORD pid = 0;
            GetWindowThreadProcessId(h, &pid);
            char cls[16] = {};
            GetClassNameA(h, cls, sizeof cls);
            if (pid == s->pid && IsWindowVisible(h) && lstrcmpA(cls, "#32770") == 0 && WindowTextOf(h) == s->title) {
                s->found = h;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&s));
    return s.found;
}

// The text of a message box: its one static control that is not the icon.
inline std::string DialogText(HWND dialog) {
    std::string text;
    EnumChildWindows(
        dialog,
        [](HWND h, LPARAM lp) -> BOOL {
            char cls[16] = {};
            GetClassNameA(h, cls, sizeof cls);
            const std::string t = WindowTextOf(h);
            if (lstrcmpiA(cls, "Static") == 0 && !t.empty()) *reinterpret_cast<std::string*>(lp) = t;
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&text));
    return text;
}

// One copy of the program in a folder of its own (its name in UTF-8), with
// its own server list.
class Program {
public:
    explicit Program(const std::string& folderName, const std::vector<std::string>& serverLines) {
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        folder_ = Utf8(temp) + folderName + "\\";
        CreateDirectoryW(Wide(folder_).c_str(), nullptr);
        CopyFileW(Wide(WinePath(VELTRANO_EXE)).c_str(), Wide(folder_ + "Veltrano.exe").c_str(), FALSE);
        WriteServerList(serverLines);
    }

    void WriteServerList(const std::vector<std::string>& lines) const {
        std::string list;
        for (const auto& l : lines) list += l + "\r\n";
        const std::wstring path = Wide(folder_ + "ntp_servers.txt");
        HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD written;
        WriteFile(f, list.data(), static_cast<DWORD>(list.size()), &written, nullptr);
        CloseHandle(f);
    }
    ~Program() { Kill(); }

    const std::string& Folder() const { return folder_; }

    // Starts the exe; true once its window exists.
    bool Start() {
        const PROCESS_INFORMATION pi = StartAnother();
        if (!pi.hProcess) return false;
        CloseHandle(pi.hThread);
        process_ = pi.hProcess;
        pid_ = pi.dwProcessId;
        if (!WaitFor([&] { return (hwnd_ = FindMainWindow(pid_)) != nullptr; }, 15000)) return false;
        Settle();
        return true;
    }
    // A second start from the same folder; returns its process.
    PROCESS_INFORMATION StartAnother() {
        STARTUPINFOW si{};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi{};
        std::wstring cmd = Wide("\"" + folder_ + "Veltrano.exe\"");
        CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, Wide(folder_).c_str(), &si, &pi);
        return pi;
    }
    // Until the program has handled what is queued for it.
    void Settle() const {
        WaitForInputIdle(process_, 3000);
        Sleep(100);
    }
    bool Running() const { return process_ && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT; }
    bool WaitForExit(DWORD ms) const { return process_ && WaitForSingleObject(process_, ms) == WAIT_OBJECT_0; }
    void Kill() {
        if (!process_) return;
        if (hwnd_) RemoveTrayIcon(hwnd_);
        TerminateProcess(process_, 0);
        WaitForSingleObject(process_, 5000);
        CloseHandle(process_);
        process_ = nullptr;
        hwnd_ = nullptr;
    }

    HWND Window() const { return hwnd_; }
    DWORD ProcessId() const { return pid_; }
    HWND Control(int id) const { return GetDlgItem(hwnd_, id); }
    std::string Text(int id) const { return WindowTextOf(Control(id)); }
    bool WaitForText(int id, const std::string& text, DWORD ms) const {
        return WaitFor([&] { return Text(id) == text; }, ms);
    }
    bool WaitForTextPrefix(int id, const std::string& prefix, DWORD ms) const {
        return WaitFor([&] { return Text(id).rfind(prefix, 0) == 0; }, ms);
    }
    bool Visible() const { return IsWindowVisible(hwnd_) != FALSE; }

    // A click (left unless asked) in the middle of a control: the pointer
    // goes there, so that the buttons' own polling agrees, and the mouse
    // messages follow in order. Posted rather than sent through the input
    // queue, where the activation of the window could overtake them.
    void Click(int id, bool right = false) const {
        HWND control = Control(id);
        RECT r;
        GetClientRect(control, &r);
        const LPARAM at = MAKELPARAM(r.right / 2, r.bottom / 2);
        POINT screen{r.right / 2, r.bottom / 2};
        ClientToScreen(control, &screen);
        SetCursorPos(screen.x, screen.y);
        PostMessageA(control, WM_MOUSEMOVE, 0, at);
        PostMessageA(control, right ? WM_RBUTTONDOWN : WM_LBUTTONDOWN, right ? MK_RBUTTON : MK_LBUTTON, at);
        PostMessageA(control, right ? WM_RBUTTONUP : WM_LBUTTONUP, 0, at);
        Settle();
    }
    // Alt with an access key, as the keyboard delivers it to the focused window.
    void PressAccessKey(char key) const {
        GUITHREADINFO gui{};
        gui.cbSize = sizeof gui;
        GetGUIThreadInfo(GetWindowThreadProcessId(hwnd_, nullptr), &gui);
        PostMessageA(gui.hwndFocus ? gui.hwndFocus : hwnd_, WM_SYSCHAR, static_cast<WPARAM>(key), 1 | (1 << 29));
        Settle();
    }
    // Keys into a text box, each as the keyboard would deliver it to the focus.
    void KeyDown(int id, WORD vk) const {
        PostMessageA(Control(id), WM_KEYDOWN, vk, 1);
        PostMessageA(Control(id), WM_KEYUP, vk, 1u | (1u << 30) | (1u << 31));
        Settle();
    }
    void TypeChar(int id, char c) const {
        PostMessageA(Control(id), WM_CHAR, static_cast<WPARAM>(static_cast<unsigned char>(c)), 1);
        Settle();
    }
    // Picks a chooser item as the mouse would, with the notification that follows.
    void Choose(int comboId, int index) const {
        HWND combo = Control(comboId);
        SendMessageA(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
        SendMessageA(hwnd_, WM_COMMAND, MAKEWPARAM(comboId, CBN_SELCHANGE), reinterpret_cast<LPARAM>(combo));
    }
    int ChosenIndex(int comboId) const { return static_cast<int>(SendMessageA(Control(comboId), CB_GETCURSEL, 0, 0)); }
    int ItemCount(int comboId) const { return static_cast<int>(SendMessageA(Control(comboId), CB_GETCOUNT, 0, 0)); }
    std::string ItemText(int comboId, int index) const {
        // Across processes Wine hands the text over as UTF-16, whichever call asked.
        wchar_t wide[512] = {};
        SendMessageW(Control(comboId), CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(wide));
        char buf[512] = {};
        WideCharToMultiByte(CP_ACP, 0, wide, -1, buf, sizeof buf, nullptr, nullptr);
        return buf;
    }
    bool Checked(int id) const { return SendMessageA(Control(id), BM_GETCHECK, 0, 0) == BST_CHECKED; }

    // Shows the window from the tray as the user would at first: a click on
    // the icon.
    bool ShowFromTray() const {
        MouseClickAt(kTrayIconPoint);
        const bool shown =
            WaitFor([&] { return Visible() && !IsIconic(hwnd_) && GetForegroundWindow() == hwnd_; }, 5000);
        Settle();
        return shown;
    }

private:
    std::string folder_;
    HANDLE process_ = nullptr;
    DWORD pid_ = 0;
    HWND hwnd_ = nullptr;
};

}  // namespace e2e
