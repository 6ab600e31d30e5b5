#include "clock/TimeProtocol.h"

#include <cstdio>

namespace {

constexpr int64_t kBaseDifference = 2840140800;  // 1900-01-01 to 1990-01-01
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

void ReplyBuffer::Clear() {
    kept_.clear();
    pendingSpaces_ = 0;
    tooLong_ = false;
}

void ReplyBuffer::Append(std::string_view bytes) {
    for (char c : bytes) {
        if (tooLong_) return;
        if (c == ' ') {
            // Leading spaces are trimmed anyway; trailing ones matter only if
            // something follows them, and five are as many as four-plus.
            if (!kept_.empty() && pendingSpaces_ <= kReplyLength) ++pendingSpaces_;
            continue;
        }
        kept_.append(pendingSpaces_, ' ');
        pendingSpaces_ = 0;
        kept_.push_back(c);
        if (kept_.size() > kReplyLength) {
            tooLong_ = true;
            kept_.clear();
        }
    }
}

ReplyBuffer::Outcome ReplyBuffer::Check() const {
    if (tooLong_) return Outcome::ErrorInData;
    if (kept_.empty()) return Outcome::NoResponse;
    return kept_.size() == kReplyLength ? Outcome::Complete : Outcome::ErrorInData;
}

std::optional<SystemTime> DecodeReply(std::string_view four) {
    if (four.size() != kReplyLength) return std::nullopt;
    int64_t value = 0;
    for (char c : four) value = value * 256 + static_cast<unsigned char>(c);
    const int64_t n = value - kBaseDifference;
    if (n < INT32_MIN) return std::nullopt;
    SystemTime t;
    FromEpochSeconds(DaysFromCivil(1990, 1, 1) * kDayLength + n, t);
    return t;
}

void ApplyOffset(SystemTime& utc, int32_t offsetMinutes) {
    FromEpochSeconds(ToEpochSeconds(utc) - int64_t{offsetMinutes} * 60, utc);
}

int64_t SecondsBetween(const SystemTime& a, const SystemTime& b) {
    return ToEpochSeconds(a) - ToEpochSeconds(b);
}

std::string FormatHourMinuteSecondAmPm(const SystemTime& local, const SystemClock& clock) {
    const bool pm = local.wHour >= 12;
    const unsigned hour12 = local.wHour % 12 == 0 ? 12 : local.wHour % 12;
    char buf[16];
    std::snprintf(buf, sizeof buf, "%u:%02u:%02u ", hour12, unsigned{local.wMinute}, unsigned{local.wSecond});
    return buf + clock.AmPmDesignator(pm);
}
