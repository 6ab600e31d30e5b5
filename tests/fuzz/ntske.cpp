// Any bytes as a key establishment server's response: records are read whole
// and in order, and one that passes is exactly its records, cookies in bounds.
#include "clock/NtsRecords.h"
#include "fuzz/Property.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes = Text(data, size);
    const std::string read = WriteNtsKeRecords(ReadNtsKeRecords(bytes));
    REQUIRE(bytes.substr(0, read.size()) == read);
    const NtsKeResponse response = CheckNtsKeResponse(bytes);
    REQUIRE(NtsKeResponseEnded(bytes) == (response.outcome != NtsKeResponse::Outcome::Truncated));
    if (response.outcome != NtsKeResponse::Outcome::Valid) return 0;
    REQUIRE(read == bytes && !response.cookies.empty() && response.cookies.size() <= kMaxCookies);
    for (const std::string& cookie : response.cookies) REQUIRE(!cookie.empty() && cookie.size() <= kMaxCookieLength);
    return 0;
}
