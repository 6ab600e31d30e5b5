// Any bytes as a caption. The key is the character after the first run of
// ampersands of odd length ("&&" pairs show one ampersand each); none when
// there is no such run or it ends the caption.
#include <algorithm>

#include "buttoncontrol/ButtonFace.h"
#include "fuzz/Property.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string caption(Text(data, size));
    std::string expected;
    for (size_t i = caption.find('&'); i != std::string::npos;) {
        const size_t end = std::min(caption.find_first_not_of('&', i), caption.size());
        if ((end - i) % 2 == 1) {
            if (end < caption.size()) expected = caption.substr(end, 1);
            break;
        }
        i = caption.find('&', end);
    }
    REQUIRE(AccessKeyOf(caption) == expected);
    return 0;
}
