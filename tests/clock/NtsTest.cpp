#include <gtest/gtest.h>

#include "clock/AesSiv.h"
#include "clock/NtsPacket.h"
#include "clock/NtsRecords.h"

namespace {

using namespace std::string_literals;

std::string Hex(std::string_view hex) {
    std::string out;
    for (size_t i = 0; i + 1 < hex.size(); i += 2) out += static_cast<char>(std::stoi(std::string(hex, i, 2), 0, 16));
    return out;
}

std::string Flipped(std::string s, size_t at) { return s[at] ^= 1, s; }

// The deterministic and the nonce-based examples that come with AES-SIV.
TEST(AesSiv, SealsAsTheExamplesAndOpensNothingChanged) {
    const std::tuple<const char*, std::vector<std::string>, std::string, const char*> cases[] = {
        {"fffefdfcfbfaf9f8f7f6f5f4f3f2f1f0f0f1f2f3f4f5f6f7f8f9fafbfcfdfeff",
         {Hex("101112131415161718191a1b1c1d1e1f2021222324252627")}, Hex("112233445566778899aabbccddee"),
         "85632d07c6e8f37f950acd320a2ecc9340c02b9690c4dc04daef7f6afe5c"},
        {"7f7e7d7c7b7a79787776757473727170404142434445464748494a4b4c4d4e4f",
         {Hex("00112233445566778899aabbccddeeffdeaddadadeaddadaffeeddccbbaa99887766554433221100"),
          Hex("102030405060708090a0"), Hex("09f911029d74e35bd84156c5635688c0")},
         "this is some plaintext to encrypt using SIV-AES",
         "7bdb6e3b432667eb06f4d14bff2fbd0fcb900f2fddbe404326601965c889bf17"
         "dba77ceb094fa663b7a3f748ba8af829ea64ad544a272e9c485b62a3fd5c0d"},
    };
    for (const auto& [hexKey, associated, plaintext, hexSealed] : cases) {
        AesSivKey key;
        std::ranges::copy(Hex(hexKey), key.begin());
        const std::vector<std::string_view> ad(associated.begin(), associated.end());
        const std::string sealed = AesSivEncrypt(key, ad, plaintext);
        EXPECT_EQ(sealed, Hex(hexSealed));
        EXPECT_EQ(AesSivDecrypt(key, ad, sealed), plaintext);
        for (const size_t at : {size_t{0}, size_t{15}, sealed.size() - 1})
            EXPECT_FALSE(AesSivDecrypt(key, ad, Flipped(sealed, at))) << at;
    }
}

TEST(NtsKe, RequestAsksForNtpV4WithAesSivCmac256) {
    EXPECT_EQ(NtsKeRequest(), "\x80\x01\x00\x02\x00\x00\x00\x04\x00\x02\x00\x0f\x80\x00\x00\x00"s);
}

const NtsKeRecord kNtp{true, 1, "\0\0"s}, kSiv{false, 4, "\0\x0f"s}, kCookie{false, 5, "c1"}, kEnd{true, 0, ""};
std::string Response(std::vector<NtsKeRecord> records) { return WriteNtsKeRecords(records); }

TEST(NtsKe, ResponseNeedsNtpV4AesSivAndCookiesAndSaysWhatWasWrong) {
    using O = NtsKeResponse::Outcome;
    const std::string good = Response({kNtp, kSiv, kCookie, {false, 5, "c2"}, {false, 6, "127.0.0.2"},
                                       {false, 7, "\x10\x7b"}, {false, 0x1234, "skipped"}, kEnd});
    const std::tuple<std::string, O, uint16_t> cases[] = {
        {good, O::Valid, 0},
        {good.substr(0, good.size() - 1), O::Truncated, 0},
        {good + '\0', O::AfterEnd, 0},
        {Response({kNtp, kSiv, kCookie, {false, 9, std::string(16 * 1024, 'x')}, kEnd}), O::TooLong, 0},
        {Response({kNtp, kSiv, kCookie, {true, 0x1234, ""}, kEnd}), O::UnknownCritical, 0x1234},
        {Response({{true, 2, "\0\x01"s}, kEnd}), O::ServerError, 1},
        {Response({kNtp, kSiv, kCookie, {false, 3, "\x80\x02"}, kEnd}), O::ServerWarning, 0x8002},
        {Response({kSiv, kCookie, kEnd}), O::NotNtpV4, 0},
        {Response({{true, 1, "\0\0\x80\x01"s}, kSiv, kCookie, kEnd}), O::NotNtpV4, 0},
        {Response({kNtp, kCookie, kEnd}), O::NotAesSiv, 0},
        {Response({kNtp, {false, 4, "\0\x11"s}, kCookie, kEnd}), O::NotAesSiv, 0},
        {Response({kNtp, kSiv, kEnd}), O::NoCookies, 0},
        {Response({kNtp, kSiv, kCookie, kCookie, kCookie, kCookie, kCookie, kCookie, kCookie, kCookie, kCookie, kEnd}),
         O::TooManyCookies, 0},
        {Response({kNtp, kSiv, {false, 5, std::string(1025, 'c')}, kEnd}), O::BadCookie, 0},
        {Response({kNtp, kSiv, kCookie, {false, 6, "local host"}, kEnd}), O::BadServer, 0},
        {Response({kNtp, kSiv, kCookie, {true, 0, "x"}}), O::Malformed, 0},
    };
    for (const auto& [bytes, outcome, code] : cases) {
        const NtsKeResponse r = CheckNtsKeResponse(bytes);
        EXPECT_EQ(std::pair(r.outcome, r.code), std::pair(outcome, code)) << &bytes - &std::get<0>(cases[0]);
    }
    const NtsKeResponse r = CheckNtsKeResponse(good);
    EXPECT_EQ(r.cookies, (std::vector<std::string>{"c1", "c2"}));
    EXPECT_EQ(r.server + ":" + std::to_string(r.port.value_or(0)), "127.0.0.2:4219");
    for (size_t n = 0; n < good.size(); ++n) EXPECT_FALSE(NtsKeResponseEnded(good.substr(0, n))) << n;
    EXPECT_TRUE(NtsKeResponseEnded(good) && NtsKeResponseEnded(std::string(kMaxNtsKeResponse + 1, '\x7f')));
}

constexpr NtpTimestamp kSent = 0x0123456789ABCDEF;
const AesSivKey kC2s{1}, kS2c{2};
const std::string kUid(32, 'u'), kNonce(16, 'n');
const std::string kNewCookies = NtpExtensionField(kNtsCookie, "new1") + NtpExtensionField(kNtsCookie, "new2");

TEST(NtsPacket, RequestAuthenticatesItsUidCookieAndPlaceholders) {
    const std::string request = NtsRequest(kSent, kUid, "cookie", 2, kC2s, kNonce);
    const std::string placeholder = "\x03\x04\x00\x0c"s + std::string(8, '\0');
    const std::string plain = SntpRequest(kSent) + "\x01\x04\x00\x24"s + kUid + "\x02\x04\x00\x0c" "cookie\0\0"s +
                                 placeholder + placeholder + "\x04\x04\x00\x28\x00\x10\x00\x10"s + kNonce;
    EXPECT_EQ(request.substr(0, plain.size()), plain);
    EXPECT_EQ(AesSivDecrypt(kC2s, {request.substr(0, plain.size() - 24), kNonce}, request.substr(plain.size())), "");
}

std::string Head(char stratum = 2, std::string refId = "GPS\0"s) {
    return std::string(1, '\x24') + stratum + std::string(10, '\0') + refId + std::string(32, '\0');
}
std::string Uid(const std::string& id = kUid) { return NtpExtensionField(kNtsUniqueId, id); }
std::string Sealed(const std::string& packet, const AesSivKey& key = kS2c) {
    return NtsAuthenticate(packet, key, kNonce, kNewCookies);
}

TEST(NtsPacket, OnlyAnAuthenticReplyThatEchoesTheUidCounts) {
    using O = NtsReply::Outcome;
    const std::string good = Sealed(Head() + Uid());
    const std::pair<std::string, O> cases[] = {
        {good, O::Authentic},
        {Sealed(Head()), O::ErrorInData},
        {Sealed(Head() + Uid(std::string(32, 'v'))), O::ErrorInData},
        {Sealed(Head() + Uid(), kC2s), O::ErrorInData},
        {Flipped(good, good.size() - 1), O::ErrorInData},
        {Flipped(good, 3), O::ErrorInData},  // the header is signed too
        {good + Uid(), O::ErrorInData},
        {Sealed(good), O::ErrorInData},
        {good.substr(0, good.size() - 4), O::ErrorInData},
        {Head(0, "NTSN") + Uid(), O::Nak},
        {Head(0, "NTSN") + Uid(std::string(32, 'v')), O::ErrorInData},
    };
    for (const auto& [datagram, outcome] : cases)
        EXPECT_EQ(CheckNtsReply(datagram, kUid, kS2c).outcome, outcome) << &datagram - &cases[0].first;
    EXPECT_EQ(CheckNtsReply(good, kUid, kS2c).cookies, (std::vector<std::string>{"new1", "new2"}));
}

TEST(CookieJar, EachCookieGoesOnceOldestFirstAndRepliesRefillItToEight) {
    CookieJar jar;
    jar.Refill({"a", "b", "c", "d", "e", "f", "g", "h", "i"});
    EXPECT_EQ(jar.Take(), "b");
    EXPECT_EQ(jar.PlaceholdersWanted(), 0u);  // the reply's one cookie makes eight again
    jar.Take(), jar.Take();
    EXPECT_EQ(jar.PlaceholdersWanted(), 2u);
    jar.Empty();
    EXPECT_TRUE(!jar.Take() && jar.PlaceholdersWanted() == 7);
}

}  // namespace
