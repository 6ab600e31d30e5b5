#pragma once
#include <cstdint>
#include <string_view>

// Text to a signed number as the stored settings and the interval box need
// it: blanks (spaces, tabs) around, an optional sign, decimal digits with an
// optional fraction after a '.', rounded to the nearest whole number with
// halves going to the even one. Anything else, or a result that does not
// fit, gives 0. Neither ever fails.
int16_t ToInteger(std::string_view text);
int32_t ToLong(std::string_view text);
