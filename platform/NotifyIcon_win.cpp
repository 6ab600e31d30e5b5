#include "platform/NotifyIcon_win.h"

#include "platform/UniqueHandle_win.h"

// The record without the later extensions: 88 bytes in a 32-bit program.
// Its pointers and their padding make the same fields 104 bytes in a 64-bit
// one, and the shell knows each layout by that size; the literal 88 there
// would cut the tip short.
#ifdef _WIN64
static_assert(NOTIFYICONDATAA_V1_SIZE == 104);
#else
static_assert(NOTIFYICONDATAA_V1_SIZE == 88);
#endif
static_assert(NOTIFYICONDATAA_V1_SIZE == offsetof(NOTIFYICONDATAA, szTip) + kTrayTipSize);

namespace {
constexpr UINT kIdShow = 1, kIdExit = 2;
}

Win32NotifyIcon::Win32NotifyIcon(HWND owner, HICON icon, const std::string& tip) {
    data_.cbSize = NOTIFYICONDATAA_V1_SIZE;
    data_.hWnd = owner;
    data_.uID = kTrayIconId;
    data_.uFlags = kTrayIconFlags;
    data_.uCallbackMessage = kTrayCallbackMessage;
    data_.hIcon = icon;
    const auto field = TrayTipField(tip);
    std::copy(field.begin(), field.end(), data_.szTip);

    // A program run as administrator does not get Explorer's broadcasts
    // unless it lets this one through.
    ChangeWindowMessageFilterEx(owner, TaskbarCreatedMessage(), MSGFLT_ALLOW, nullptr);
}

Win32NotifyIcon::~Win32NotifyIcon() { Remove(); }

void Win32NotifyIcon::Add() {
    wanted_ = true;
    retry_.Add();
}

void Win32NotifyIcon::Remove() {
    if (!wanted_) return;
    wanted_ = false;
    retry_.Stop();
    Shell_NotifyIconA(NIM_DELETE, &data_);
}

bool Win32NotifyIcon::HandleMessage(UINT msg, WPARAM wp) {
    if (msg == WM_TIMER && wp == kRetryTimer) {
        retry_.Tick();
        return true;
    }
    if (msg != TaskbarCreatedMessage()) return false;
    // Also reached when the first add came before there was a taskbar, as
    // when the program starts at logon ahead of Explorer.
    if (wanted_ && AddIcon()) retry_.Stop();
    return true;
}

bool Win32NotifyIcon::AddIcon() {
    if (Shell_NotifyIconA(NIM_ADD, &data_)) return true;
    // A busy shell can time out and still add the icon; a later add then
    // fails because the icon exists, and only a change finds it there.
    return Shell_NotifyIconA(NIM_MODIFY, &data_) != FALSE;
}

void Win32NotifyIcon::StartRetryTimer(uint32_t intervalMs) { SetTimer(data_.hWnd, kRetryTimer, intervalMs, nullptr); }

void Win32NotifyIcon::StopRetryTimer() { KillTimer(data_.hWnd, kRetryTimer); }

void Win32NotifyIcon::GiveUp() {
    if (giveUp_) giveUp_();
}

UINT Win32NotifyIcon::TaskbarCreatedMessage() {
    static const UINT msg = RegisterWindowMessageA("TaskbarCreated");
    return msg;
}

TrayMenuChoice ShowTrayMenu(HWND owner) {
    UniqueHmenu mnuTray(CreatePopupMenu());
    if (!mnuTray) return TrayMenuChoice::None;
    AppendMenuA(mnuTray.get(), MF_STRING, kIdShow, kMnuShowCaption.data());
    AppendMenuA(mnuTray.get(), MF_SEPARATOR, 0, nullptr);
    AppendMenuA(mnuTray.get(), MF_STRING, kIdExit, kMnuExitCaption.data());

    POINT at{};
    GetCursorPos(&at);
    // The window must be foreground before TrackPopupMenu, or the menu does
    // not close when the user clicks elsewhere.
    SetForegroundWindow(owner);
    const UINT picked = TrackPopupMenu(mnuTray.get(), TPM_RETURNCMD | TPM_NONOTIFY | TPM_RIGHTBUTTON, at.x, at.y,
                                       0, owner, nullptr);
    // Makes the switch to the owner complete; without it a second right click
    // opens a menu that closes at once.
    PostMessageA(owner, WM_NULL, 0, 0);

    switch (picked) {
    case kIdShow: return TrayMenuChoice::Show;
    case kIdExit: return TrayMenuChoice::Exit;
    default: return TrayMenuChoice::None;
    }
}
