// Any bytes as what a server sent, whole and in pieces. Exactly four bytes
// are the count unless all are blanks; a longer reply is blanks, the four
// bytes of the count, then blanks only.
#include "clock/TimeProtocol.h"
#include "fuzz/Property.h"

using Outcome = ReplyBuffer::Outcome;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes = Text(data, size);
    const size_t start = size == kReplyLength ? 0 : bytes.find_first_not_of(' ');
    Outcome expected = Outcome::Complete;
    if (bytes.find_first_not_of(' ') == std::string_view::npos) expected = Outcome::NoResponse;
    else if (size - start < kReplyLength || bytes.find_first_not_of(' ', start + kReplyLength) != bytes.npos)
        expected = Outcome::ErrorInData;

    ReplyBuffer whole, pieces;
    whole.Append("stale"), whole.Clear(), whole.Append(bytes);
    // Pieces of 1 to 5 bytes, each length picked by the byte that opens the piece.
    for (size_t at = 0; at < size;) {
        const size_t length = 1 + data[at] % 5;
        pieces.Append(bytes.substr(at, length));
        at += length;
    }
    REQUIRE(whole.Check() == expected && pieces.Check() == expected);
    REQUIRE(whole.Count() == pieces.Count());
    REQUIRE(expected != Outcome::Complete || whole.Count() == bytes.substr(start, kReplyLength));
    // Any four bytes decode, blanks included; fewer never do.
    REQUIRE(DecodeReply(bytes.substr(0, kReplyLength)).has_value() == (size >= kReplyLength));
    return 0;
}
