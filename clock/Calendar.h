#pragma once
#include <cstdint>
#include <string>

#include "platform/SystemClock.h"

// The Time Protocol and NTP both count seconds since 1900-01-01 00:00:00 UTC
// in 32 bits, which wrap in 2036: a count with its top bit set lies in
// 1968-2036, one with it clear in 2036-2104.
inline constexpr int64_t kEraLength = int64_t{1} << 32;  // seconds that a count spans before it wraps
inline constexpr int64_t kEraPivot = int64_t{1} << 31;   // 1968-01-20 03:14:08

// Seconds since 1900, the era unfolded as above.
int64_t UnfoldEra(uint32_t count);

// The instant that many seconds after 1900-01-01 00:00:00; day of week and
// milliseconds 0.
SystemTime FromSecondsSince1900(int64_t seconds);
int64_t MicrosecondsSince1900(const SystemTime& utc);

// Moves the whole instant back by offsetMinutes, across midnight and month
// ends alike.
void ApplyOffset(SystemTime& utc, int32_t offsetMinutes);

// Moves the whole instant forward by seconds (back when negative).
void AddSeconds(SystemTime& utc, int64_t seconds);

// Moves the whole instant by ms, milliseconds field included.
void AddMilliseconds(SystemTime& utc, int64_t ms);

// Seconds between two instants, ignoring milliseconds: a - b.
int64_t SecondsBetween(const SystemTime& a, const SystemTime& b);
// The same to the millisecond.
int64_t MillisecondsBetween(const SystemTime& a, const SystemTime& b);

// "yyyy-mm-dd", the one date form that reads the same in every region.
std::string FormatDate(const SystemTime& t);

// "h:mm:ss AMPM" with the locale's designator.
std::string FormatHourMinuteSecondAmPm(const SystemTime& local, const SystemClock& clock);
