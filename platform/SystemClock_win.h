#pragma once
#include "platform/SystemClock.h"

class Win32SystemClock final : public SystemClock {
public:
    Win32SystemClock();
    SystemTime GetSystemTime() const override;
    ClockResult SetSystemTime(const SystemTime& utc) override;
    void Sleep(uint32_t milliseconds) override;
    SystemTime LocalNow() const override;
    std::string AmPmDesignator(bool pm) const override;
    std::string RegionalTimeText() const override;
    double MonotonicSeconds() const override;
    double UptimeSeconds() const override;

private:
    double ticksPerSecond_;
};
