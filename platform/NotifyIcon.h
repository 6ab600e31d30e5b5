#pragma once
#include <algorithm>
#include <array>
#include <cstdint>
#include <string_view>

// What the notification-area icon asks of the program. Kept free of
// <windows.h> so the decisions build and are tested anywhere; the Win32 icon
// itself is Win32NotifyIcon, in NotifyIcon_win.h.

// The icon's messages come back as WM_MOUSEMOVE, the mouse message that it
// stands for in the low word of lParam. A window that is on the screen gets
// real WM_MOUSEMOVEs too, whose lParam is a position; that is why the icon is
// only listened to while the window is minimised.
inline constexpr uint32_t kTrayCallbackMessage = 0x200;
inline constexpr uint32_t kTrayIconId = 1;
// NIF_MESSAGE | NIF_ICON | NIF_TIP
inline constexpr uint32_t kTrayIconFlags = 7;
// The tip field holds 64 ANSI characters, its terminating NUL included.
inline constexpr size_t kTrayTipSize = 64;

enum class TrayAction { Nothing, ShowWindow, OpenMenu };

// Which mouse message on the icon does what. lParam is the callback's second
// parameter as it arrived; newer shells put the icon's id in its high word.
constexpr TrayAction DecodeTrayMessage(bool windowMinimised, uint64_t lParam) {
    if (!windowMinimised) return TrayAction::Nothing;
    switch (static_cast<uint16_t>(lParam & 0xFFFF)) {
    case 0x202:  // WM_LBUTTONUP
    case 0x203:  // WM_LBUTTONDBLCLK: the first release has already shown it
        return TrayAction::ShowWindow;
    case 0x205:  // WM_RBUTTONUP
        return TrayAction::OpenMenu;
    default:
        return TrayAction::Nothing;
    }
}

// The entries of mnuTray, and what the user picked from it.
enum class TrayMenuChoice { None, Show, Exit };
inline constexpr std::string_view kMnuShowCaption = "&Show";
inline constexpr std::string_view kMnuExitCaption = "&Exit";

// The tip as the record carries it: the text, one NUL, then blanks to the
// end of the field. A text too long for the field loses its tail, so the NUL
// always fits.
inline std::array<char, kTrayTipSize> TrayTipField(std::string_view tip) {
    std::array<char, kTrayTipSize> field;
    field.fill(' ');
    const size_t n = std::min({tip.find('\0'), tip.size(), kTrayTipSize - 1});
    tip.copy(field.data(), n);
    field[n] = '\0';
    return field;
}

// What the icon's retry asks of the shell and of the owner's timer.
class TrayShell {
public:
    virtual ~TrayShell() = default;
    virtual bool AddIcon() = 0;  // false when the shell refused the icon
    virtual void StartRetryTimer(uint32_t intervalMs) = 0;
    virtual void StopRetryTimer() = 0;
    // The shell never took the icon: the program is out of reach unless its window shows.
    virtual void GiveUp() = 0;
};

// While the shell is still starting at logon it often refuses the icon, and
// once its taskbar exists no TaskbarCreated follows to bring the icon back:
// a program started hidden could be neither reached nor started again. So a
// refused add is tried again on a timer, and given up after a while.
class TrayAddRetry {
public:
    static constexpr uint32_t kIntervalMs = 2000;
    static constexpr int kRetries = 60;  // two minutes

    explicit TrayAddRetry(TrayShell& shell, uint32_t intervalMs = kIntervalMs, int retries = kRetries)
        : shell_(shell), intervalMs_(intervalMs), retries_(retries) {}

    void Add() {
        Stop();
        if (shell_.AddIcon()) return;
        left_ = retries_;
        shell_.StartRetryTimer(intervalMs_);
    }
    // The retry timer's tick. One still queued when the timer stopped does nothing.
    void Tick() {
        if (left_ == 0) return;
        if (shell_.AddIcon()) return Stop();
        if (--left_ > 0) return;
        shell_.StopRetryTimer();
        shell_.GiveUp();
    }
    // The icon is in place by other means, or no longer wanted.
    void Stop() {
        if (left_ == 0) return;
        left_ = 0;
        shell_.StopRetryTimer();
    }

private:
    TrayShell& shell_;
    uint32_t intervalMs_;
    int retries_;
    int left_ = 0;  // tries still to come; 0 while no timer runs
};
