#pragma once
#include <windows.h>
#include <shellapi.h>

#include <string>

#include "platform/NotifyIcon.h"

// The program's icon in the notification area. It is added by Add (TrayOn)
// and taken away by Remove (TrayOff) or the destructor. When Explorer
// restarts, every icon of the notification area is lost; the taskbar then
// broadcasts TaskbarCreated, and the icon adds itself again. Without that
// a program hidden in the tray would be out of reach for good, since a second
// start is refused.
class NotifyIcon {
public:
    // owner receives kTrayCallbackMessage. icon is borrowed: the window class
    // that holds it outlives this object.
    NotifyIcon(HWND owner, HICON icon, const std::string& tip);
    ~NotifyIcon();
    NotifyIcon(const NotifyIcon&) = delete;
    NotifyIcon& operator=(const NotifyIcon&) = delete;

    // Puts the icon into the notification area; false when the shell refused
    // (no taskbar yet, for one). Either way the icon is wanted from now on and
    // comes back with the next TaskbarCreated.
    bool Add();
    // Takes the icon away for good; TaskbarCreated no longer brings it back.
    void Remove();
    bool Wanted() const { return wanted_; }

    // Call with every message of the owner's window procedure; true when it
    // was the taskbar announcing itself (the icon has been added again).
    bool HandleTaskbarCreated(UINT msg);
    // The registered number of "TaskbarCreated", the same in every process.
    static UINT TaskbarCreatedMessage();

    const NOTIFYICONDATAA& Record() const { return data_; }

private:
    NOTIFYICONDATAA data_{};
    bool wanted_ = false;
};

// Opens mnuTray ("&Show", a separator, "&Exit") at the mouse position and
// returns once it has closed, with what the user picked.
TrayMenuChoice ShowTrayMenu(HWND owner);

// What a click on the icon does to a hidden window: normal state, in front.
void ShowWindowInFront(HWND hwnd);
