#pragma once
#include <cstdint>
#include <string>

// The fields and order of Windows' SYSTEMTIME, kept free of <windows.h> so the
// synchronisation logic builds and is tested anywhere.
struct SystemTime {
    uint16_t wYear = 0;
    uint16_t wMonth = 0;
    uint16_t wDayOfWeek = 0;
    uint16_t wDay = 0;
    uint16_t wHour = 0;
    uint16_t wMinute = 0;
    uint16_t wSecond = 0;
    uint16_t wMilliseconds = 0;

    bool operator==(const SystemTime&) const = default;
};

// What Windows said when asked to set the clock; error is GetLastError().
struct ClockResult {
    bool ok = true;
    uint32_t error = 0;
    std::string description;
};

class SystemClock {
public:
    virtual ~SystemClock() = default;
    virtual SystemTime GetSystemTime() const = 0;  // UTC
    virtual ClockResult SetSystemTime(const SystemTime& utc) = 0;
    // Waits at most milliseconds, and less when a message for this thread
    // arrives: every wait pumps the window's messages after it, so a reply
    // is handled as soon as it comes and not at the end of a fixed nap.
    virtual void Sleep(uint32_t milliseconds) = 0;
    virtual SystemTime LocalNow() const = 0;
    // The user's AM and PM designators; either may be empty on a 24-hour locale.
    virtual std::string AmPmDesignator(bool pm) const = 0;
    // The local time of day in the user's regional time format.
    virtual std::string RegionalTimeText() const = 0;
    // Seconds on a clock that only moves forward and ignores clock changes.
    virtual double MonotonicSeconds() const = 0;
    // Seconds since the system started, time asleep or hibernating included,
    // to the tick: for spans of hours and days, over which the monotonic
    // clock is not promised to count a laptop's nights.
    virtual double UptimeSeconds() const = 0;
};
