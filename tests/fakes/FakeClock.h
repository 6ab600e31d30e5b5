#pragma once
#include <vector>

#include "platform/SystemClock.h"

// Wall-clock readings stay where a test puts them; sleeping moves only the
// monotonic clock, which is what every wait measures.
struct FakeClock final : SystemClock {
    SystemTime GetSystemTime() const override { return utc; }
    ClockResult SetSystemTime(const SystemTime& t) override { return setCalls.push_back(t), setResult; }
    void Sleep(uint32_t ms) override { monotonicMs += ms; }
    SystemTime LocalNow() const override { return local; }
    std::string AmPmDesignator(bool pm) const override { return pm ? "PM" : "AM"; }
    std::string RegionalTimeText() const override { return regional; }
    double MonotonicSeconds() const override { return monotonicMs / 1000.0; }
    double UptimeSeconds() const override { return monotonicMs / 1000.0 + asleepSeconds; }

    SystemTime utc{2020, 8, 0, 15, 5, 40, 23, 0}, local{2020, 8, 6, 15, 7, 40, 23, 0};
    std::string regional = "7:40:23 AM";
    int64_t monotonicMs = 1'000'000;
    double asleepSeconds = 0;  // what the monotonic clock may not have counted
    std::vector<SystemTime> setCalls;
    ClockResult setResult;
};
