// Any bytes as what a server sent, whole and in pieces. Exactly four bytes
// are the count unless all are blanks; a longer reply is blanks, the four
// bytes of the count, then blanks only. The count lies in 1968-2036 with its
// top bit set and in 2036-2104 without.
#include "clock/TimeProtocol.h"
#include "fuzz/Property.h"

namespace {

using Outcome = ReplyBuffer::Outcome;

void RequireValidDate(const SystemTime& t) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = t.wYear % 4 == 0 && (t.wYear % 100 != 0 || t.wYear % 400 == 0);
    REQUIRE(t.wMonth >= 1 && t.wMonth <= 12 && t.wDay >= 1);
    REQUIRE(t.wDay <= kDays[t.wMonth - 1] + (t.wMonth == 2 && leap ? 1 : 0));
    REQUIRE(t.wHour < 24 && t.wMinute < 60 && t.wSecond < 60);
}

}  // namespace

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
    // Any four bytes decode, blanks included; fewer never do.
    REQUIRE(DecodeReply(bytes.substr(0, kReplyLength)).has_value() == (size >= kReplyLength));
    if (expected != Outcome::Complete) return 0;
    REQUIRE(whole.Count() == bytes.substr(start, kReplyLength));

    const std::optional<SystemTime> decoded = DecodeReply(whole.Count());
    REQUIRE(decoded.has_value()), RequireValidDate(*decoded);
    uint32_t count = 0;
    for (size_t i = 0; i < kReplyLength; ++i) count = count << 8 | data[start + i];
    // 2^31 seconds past 1900 is 1968-01-20 03:14:08, the start of the window.
    const int64_t since1900 = SecondsBetween(*decoded, SystemTime{1900, 1, 0, 1, 0, 0, 0, 0});
    REQUIRE(since1900 % (int64_t{1} << 32) == count);
    REQUIRE(since1900 >= int64_t{1} << 31 && since1900 < (int64_t{1} << 32) + (int64_t{1} << 31));
    return 0;
}
