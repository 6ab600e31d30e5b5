#include <windows.h>

#include "platform/SystemClock_win.h"
#include "platform/SystemMessage_win.h"

namespace {

SystemTime FromWin(const SYSTEMTIME& s) {
    return {s.wYear, s.wMonth, s.wDayOfWeek, s.wDay, s.wHour, s.wMinute, s.wSecond, s.wMilliseconds};
}

// Windows 8 and later read the clock to the microsecond; Windows 7's
// GetSystemTime moves only at each tick of the timer, 15.6 ms apart, which
// would spoil an NTP offset.
using PreciseTimeFunction = VOID(WINAPI*)(LPFILETIME);
PreciseTimeFunction PreciseTime() {
    static const auto f = reinterpret_cast<PreciseTimeFunction>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetSystemTimePreciseAsFileTime")));
    return f;
}

SYSTEMTIME ToWin(const SystemTime& t) {
    return {t.wYear, t.wMonth, t.wDayOfWeek, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds};
}

}  // namespace

Win32SystemClock::Win32SystemClock() {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    ticksPerSecond_ = static_cast<double>(f.QuadPart);
}

SystemTime Win32SystemClock::GetSystemTime() const {
    SYSTEMTIME s;
    FILETIME f;
    if (const auto precise = PreciseTime()) precise(&f), FileTimeToSystemTime(&f, &s);
    else ::GetSystemTime(&s);
    return FromWin(s);
}

ClockResult Win32SystemClock::SetSystemTime(const SystemTime& utc) {
    const SYSTEMTIME s = ToWin(utc);
    if (::SetSystemTime(&s)) return {};
    const DWORD error = GetLastError();
    return {false, error, SystemMessage(error)};
}

void Win32SystemClock::Sleep(uint32_t milliseconds) {
    // MWMO_INPUTAVAILABLE: messages already queued but not yet removed wake
    // it too, not only those that arrive during the wait.
    MsgWaitForMultipleObjectsEx(0, nullptr, milliseconds, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
}

SystemTime Win32SystemClock::LocalNow() const {
    SYSTEMTIME s;
    ::GetLocalTime(&s);
    return FromWin(s);
}

std::string Win32SystemClock::AmPmDesignator(bool pm) const {
    char buf[16] = {};
    if (!GetLocaleInfoA(LOCALE_USER_DEFAULT, pm ? LOCALE_S2359 : LOCALE_S1159, buf, sizeof buf)) return pm ? "PM" : "AM";
    return buf;
}

std::string Win32SystemClock::RegionalTimeText() const {
    char buf[64] = {};
    if (!GetTimeFormatA(LOCALE_USER_DEFAULT, 0, nullptr, nullptr, buf, sizeof buf)) return {};
    return buf;
}

double Win32SystemClock::MonotonicSeconds() const {
    LARGE_INTEGER c;
    QueryPerformanceCounter(&c);
    return static_cast<double>(c.QuadPart) / ticksPerSecond_;
}

// The tick count follows interrupt time, which goes on while the computer
// sleeps: the reason it, and not the performance counter, times the anchor.
double Win32SystemClock::UptimeSeconds() const { return static_cast<double>(GetTickCount64()) / 1000.0; }
