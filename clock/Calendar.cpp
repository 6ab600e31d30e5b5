#include "clock/Calendar.h"

#include <cstdio>

namespace {

constexpr int64_t kDayLength = 86400;

// Proleptic Gregorian days since 1970-01-01, after Howard Hinnant's algorithm.
constexpr int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

// Where both protocols' counts start, in seconds since 1970.
constexpr int64_t k1900 = DaysFromCivil(1900, 1, 1) * kDayLength;

void CivilFromDays(int64_t z, int64_t& y, unsigned& m, unsigned& d) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y = static_cast<int64_t>(yoe) + era * 400 + (m <= 2);
}

int64_t ToEpochSeconds(const SystemTime& t) {
    return DaysFromCivil(t.wYear, t.wMonth, t.wDay) * kDayLength + t.wHour * 3600 + t.wMinute * 60 +
           t.wSecond;
}

// Keeps wDayOfWeek and wMilliseconds as they were: the record's own fields.
void FromEpochSeconds(int64_t s, SystemTime& t) {
    int64_t days = s / kDayLength;
    int64_t rest = s % kDayLength;
    if (rest < 0) {
        rest += kDayLength;
        --days;
    }
    int64_t y;
    unsigned m, d;
    CivilFromDays(days, y, m, d);
    t.wYear = static_cast<uint16_t>(y);
    t.wMonth = static_cast<uint16_t>(m);
    t.wDay = static_cast<uint16_t>(d);
    t.wHour = static_cast<uint16_t>(rest / 3600);
    t.wMinute = static_cast<uint16_t>(rest % 3600 / 60);
    t.wSecond = static_cast<uint16_t>(rest % 60);
}

// Floor division, so that a negative millisecond count borrows a whole second.
int64_t FloorDiv(int64_t a, int64_t b) { return a / b - (a % b != 0 && (a < 0) != (b < 0)); }

}  // namespace

int64_t UnfoldEra(uint32_t count) {
    int64_t value = count;
    // The era rule of NTP timestamps: counts below 2^31 have wrapped once.
    if (value < kEraPivot) value += kEraLength;
    return value;
}

SystemTime FromSecondsSince1900(int64_t seconds) {
    SystemTime t;
    FromEpochSeconds(k1900 + seconds, t);
    return t;
}

int64_t MicrosecondsSince1900(const SystemTime& utc) {
    return (ToEpochSeconds(utc) - k1900) * 1'000'000 + int64_t{utc.wMilliseconds} * 1000;
}

void ApplyOffset(SystemTime& utc, int32_t offsetMinutes) { AddSeconds(utc, -int64_t{offsetMinutes} * 60); }

void AddSeconds(SystemTime& utc, int64_t seconds) { FromEpochSeconds(ToEpochSeconds(utc) + seconds, utc); }

void AddMilliseconds(SystemTime& utc, int64_t ms) {
    const int64_t total = int64_t{utc.wMilliseconds} + ms;
    const int64_t seconds = FloorDiv(total, 1000);
    AddSeconds(utc, seconds);
    utc.wMilliseconds = static_cast<uint16_t>(total - seconds * 1000);
}

int64_t SecondsBetween(const SystemTime& a, const SystemTime& b) {
    return ToEpochSeconds(a) - ToEpochSeconds(b);
}

int64_t MillisecondsBetween(const SystemTime& a, const SystemTime& b) {
    return SecondsBetween(a, b) * 1000 + a.wMilliseconds - b.wMilliseconds;
}

std::string FormatDate(const SystemTime& t) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04u-%02u-%02u", unsigned{t.wYear}, unsigned{t.wMonth}, unsigned{t.wDay});
    return buf;
}

std::string FormatHourMinuteSecondAmPm(const SystemTime& local, const SystemClock& clock) {
    const bool pm = local.wHour >= 12;
    const unsigned hour12 = local.wHour % 12 == 0 ? 12 : local.wHour % 12;
    char buf[16];
    std::snprintf(buf, sizeof buf, "%u:%02u:%02u ", hour12, unsigned{local.wMinute}, unsigned{local.wSecond});
    return buf + clock.AmPmDesignator(pm);
}
