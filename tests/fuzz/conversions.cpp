// Any bytes as the text of a setting, then numbers made from the first bytes
// and written the way a person would.
#include <limits>
#include <string>

#include "fuzz/Property.h"
#include "settings/Conversions.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text = Text(data, size);
    // Both round the same digits the same way; only the range differs.
    const int32_t asLong = ToLong(text);
    const bool fits = asLong >= std::numeric_limits<int16_t>::min() && asLong <= std::numeric_limits<int16_t>::max();
    REQUIRE(ToInteger(text) == (fits ? asLong : 0));

    const int32_t n = TakeInt(data, size);
    const std::string decimal = std::to_string(n);
    REQUIRE(ToLong(decimal) == n);
    REQUIRE(ToLong(" \t" + decimal + ".0\t ") == n);
    REQUIRE(ToInteger(std::to_string(static_cast<int16_t>(n))) == static_cast<int16_t>(n));
    // A half goes to the even neighbour, away from zero when that is the even one.
    const int64_t away = n < 0 ? int64_t{n} - 1 : int64_t{n} + 1;
    const int64_t even = n % 2 == 0 ? n : away;
    const bool evenFits = even >= std::numeric_limits<int32_t>::min() && even <= std::numeric_limits<int32_t>::max();
    REQUIRE(ToLong(decimal + ".5") == (evenFits ? even : 0));
    return 0;
}
