#pragma once
#include <windows.h>
#include <shellapi.h>

#include <functional>
#include <string>

#include "platform/NotifyIcon.h"

// The program's icon in the notification area. It is added by Add (TrayOn)
// and taken away by Remove (TrayOff) or the destructor. When Explorer
// restarts, every icon of the notification area is lost; the taskbar then
// broadcasts TaskbarCreated, and the icon adds itself again. Without that
// a program hidden in the tray would be out of reach for good, since a second
// start is refused. For the same reason a refused add is tried again on a
// timer of the owner's (TrayAddRetry), and when the shell never takes the
// icon the owner is told to show itself.
class Win32NotifyIcon final : private TrayShell {
public:
    // On the owner's window, clear of the owner's own timers, which count from 1.
    static constexpr UINT_PTR kRetryTimer = 101;

    // owner receives kTrayCallbackMessage. icon is borrowed: the window that
    // owns it keeps it for longer than this object.
    Win32NotifyIcon(HWND owner, HICON icon, const std::string& tip);
    ~Win32NotifyIcon() override;
    Win32NotifyIcon(const Win32NotifyIcon&) = delete;
    Win32NotifyIcon& operator=(const Win32NotifyIcon&) = delete;

    // Puts the icon into the notification area, or starts trying again when
    // the shell refused (no taskbar yet, for one). Either way the icon is
    // wanted from now on and comes back with the next TaskbarCreated.
    void Add();
    // Takes the icon away for good; TaskbarCreated no longer brings it back.
    void Remove();

    // Call with every message of the owner's window procedure; true when it
    // was the icon's: the taskbar announcing itself (the icon has been added
    // again) or the retry timer.
    bool HandleMessage(UINT msg, WPARAM wp);
    // Called once the retries are over without the icon in place.
    void OnGiveUp(std::function<void()> handler) { giveUp_ = std::move(handler); }
    // The registered number of "TaskbarCreated", the same in every process.
    static UINT TaskbarCreatedMessage();

private:
    // TrayShell
    bool AddIcon() override;
    void StartRetryTimer(uint32_t intervalMs) override;
    void StopRetryTimer() override;
    void GiveUp() override;

    NOTIFYICONDATAA data_{};
    bool wanted_ = false;
    TrayAddRetry retry_{*this};
    std::function<void()> giveUp_;
};

// Opens mnuTray ("&Show", a separator, "&Exit") at the mouse position and
// returns once it has closed, with what the user picked.
TrayMenuChoice ShowTrayMenu(HWND owner);
