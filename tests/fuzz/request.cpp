// Any bytes on the time service's pipe, as a client that owes us nothing sends them.
#include "fuzz/Property.h"
#include "pipe/SyncMessages.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes = Text(data, size);
    // One way to write each: what is taken is exactly what would be sent.
    if (const auto request = ParseRequest(bytes)) REQUIRE(FormatRequest(*request) == bytes);
    if (const auto reply = ParseReply(bytes)) REQUIRE(FormatReply(*reply) == bytes);
    REQUIRE(!ParseRequest(bytes) || RequestEnded(bytes));
    REQUIRE(!ParseReply(bytes) || ReplyEnded(bytes));
    return 0;
}
