#include "settings/Conversions.h"

#include <limits>
#include <optional>

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The rounded value, or empty when the text is not a number or the value
// leaves [low, high]. The digits are rounded as written, so 2.5000001 is 3
// and not a victim of binary fractions.
std::optional<int64_t> ParseRounded(std::string_view s, int64_t low, int64_t high) {
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
    bool negative = false;
    if (!s.empty() && (s.front() == '+' || s.front() == '-')) {
        negative = s.front() == '-';
        s.remove_prefix(1);
    }
    // Past this the value is out of every range asked for; stop counting.
    constexpr int64_t kCeiling = int64_t{1} << 40;
    int64_t whole = 0;
    size_t i = 0, digits = 0;
    for (; i < s.size() && IsDigit(s[i]); ++i, ++digits) {
        whole = whole * 10 + (s[i] - '0');
        if (whole > kCeiling) whole = kCeiling;
    }
    // First fraction digit, and whether anything non-zero follows it.
    int firstFraction = 0;
    bool restNonZero = false;
    if (i < s.size() && s[i] == '.') {
        ++i;
        for (size_t k = 0; i < s.size() && IsDigit(s[i]); ++i, ++k, ++digits) {
            if (k == 0) firstFraction = s[i] - '0';
            else if (s[i] != '0') restNonZero = true;
        }
    }
    if (digits == 0 || i != s.size()) return std::nullopt;

    const bool roundUp = firstFraction > 5 || (firstFraction == 5 && (restNonZero || whole % 2 == 1));
    if (roundUp) ++whole;
    const int64_t value = negative ? -whole : whole;
    if (value < low || value > high) return std::nullopt;
    return value;
}

}  // namespace

int16_t ToInteger(std::string_view text) {
    return static_cast<int16_t>(ParseRounded(text, std::numeric_limits<int16_t>::min(),
                                             std::numeric_limits<int16_t>::max())
                                    .value_or(0));
}

int32_t ToLong(std::string_view text) {
    return static_cast<int32_t>(ParseRounded(text, std::numeric_limits<int32_t>::min(),
                                             std::numeric_limits<int32_t>::max())
                                    .value_or(0));
}
