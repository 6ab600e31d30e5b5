#include "clock/TimeProtocol.h"

#include <cstdio>

namespace {

constexpr int64_t kEraLength = int64_t{1} << 32;  // seconds that a count spans before it wraps
constexpr int64_t kEraPivot = int64_t{1} << 31;   // 1968-01-20 03:14:08
constexpr int64_t kDayLength = 86400;

// Proleptic Gregorian days since 1970-01-01, after Howard Hinnant's algorithm.
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

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

}  // namespace

void ReplyBuffer::Clear() { *this = ReplyBuffer(); }

void ReplyBuffer::Append(std::string_view bytes) {
    for (char c : bytes) {
        if (received_ < kReplyLength) first_[received_] = c;
        if (received_ <= kReplyLength) ++received_;
        if (counted_ == 0 && c == ' ') continue;
        if (counted_ < kReplyLength) count_[counted_++] = c;
        else if (c != ' ') junkAfterCount_ = true;
    }
}

ReplyBuffer::Outcome ReplyBuffer::Check() const {
    if (counted_ == 0) return Outcome::NoResponse;
    if (received_ == kReplyLength) return Outcome::Complete;
    if (counted_ < kReplyLength || junkAfterCount_) return Outcome::ErrorInData;
    return Outcome::Complete;
}

std::string_view ReplyBuffer::Count() const {
    if (Check() != Outcome::Complete) return {};
    return {received_ == kReplyLength ? first_ : count_, kReplyLength};
}

std::optional<SystemTime> DecodeReply(std::string_view four) {
    if (four.size() != kReplyLength) return std::nullopt;
    int64_t value = 0;
    for (char c : four) value = value * 256 + static_cast<unsigned char>(c);
    // The era rule of NTP timestamps: counts below 2^31 have wrapped once.
    if (value < kEraPivot) value += kEraLength;
    SystemTime t;
    FromEpochSeconds(DaysFromCivil(1900, 1, 1) * kDayLength + value, t);
    return t;
}

void ApplyOffset(SystemTime& utc, int32_t offsetMinutes) { AddSeconds(utc, -int64_t{offsetMinutes} * 60); }

void AddSeconds(SystemTime& utc, int64_t seconds) { FromEpochSeconds(ToEpochSeconds(utc) + seconds, utc); }

int64_t SecondsBetween(const SystemTime& a, const SystemTime& b) {
    return ToEpochSeconds(a) - ToEpochSeconds(b);
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
