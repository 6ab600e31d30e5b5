// Any text as the address a socket reached or an interface has: the parser
// takes only what is spelt as an address, and no spelling of an address
// takes it for another one.
#include <algorithm>
#include <cctype>
#include <string>

#include "clock/ThisMachine.h"
#include "fuzz/Property.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(Text(data, size));
    REQUIRE(IsThisMachine(text, {text}));
    const auto parsed = ParseIpAddress(text);
    if (!parsed) return 0;
    // "ffff:ffff:ffff:ffff:ffff:ffff:255.255.255.255" is the longest spelling.
    REQUIRE(size <= 45 && std::all_of(text.begin(), text.end(), [](char c) {
                return std::isxdigit(static_cast<unsigned char>(c)) || c == ':' || c == '.';
            }));
    std::string upper = text;
    std::transform(upper.begin(), upper.end(), upper.begin(), [](char c) { return std::toupper(c); });
    REQUIRE(ParseIpAddress(upper) == parsed);
    if (text.find(':') == std::string::npos) REQUIRE(ParseIpAddress("::ffff:" + text) == parsed);
    return 0;
}
