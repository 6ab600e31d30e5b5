// Any datagram as an NTS reply, from anyone who can reach our port: without
// the server-to-client key none is authentic, even one that echoes the UID.
#include "clock/NtsPacket.h"
#include "fuzz/Property.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string kUid(kNtsUniqueIdLength, 'u');
    REQUIRE(CheckNtsReply(Text(data, size), kUid, AesSivKey{7}).outcome != NtsReply::Outcome::Authentic);
    return 0;
}
