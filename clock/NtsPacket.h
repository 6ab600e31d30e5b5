#pragma once
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "clock/AesSiv.h"
#include "clock/Sntp.h"

// An SNTP request or reply with NTS: the 48-byte packet, then extension
// fields (a 16-bit type, a 16-bit length that counts the 4-byte head and is a
// whole number of 4-byte words, the body padded with zeros), the last one an
// authenticator that covers everything before it.
inline constexpr uint16_t kNtsUniqueId = 0x0104, kNtsCookie = 0x0204, kNtsCookiePlaceholder = 0x0304,
                          kNtsAuthenticator = 0x0404;
inline constexpr size_t kNtsUniqueIdLength = 32, kNtsNonceLength = 16;

std::string NtpExtensionField(uint16_t type, std::string_view body);
// The packet followed by an authenticator under key, with fields (extension
// fields themselves) encrypted inside it.
std::string NtsAuthenticate(std::string packet, const AesSivKey& key, std::string_view nonce,
                            std::string_view fields = {});

// The SNTP request for transmit with the unique identifier (32 random bytes),
// the cookie, placeholders as long as it, and an authenticator under the
// client-to-server key with nonce (16 random bytes).
std::string NtsRequest(NtpTimestamp transmit, std::string_view uniqueId, std::string_view cookie,
                       size_t placeholders, const AesSivKey& c2s, std::string_view nonce);

struct NtsReply {
    enum class Outcome { Authentic, Nak, ErrorInData };
    Outcome outcome = Outcome::ErrorInData;
    std::vector<std::string> cookies;  // what the encrypted fields brought
};

// Authentic when the reply echoes uniqueId and ends with its one
// authenticator, which the server-to-client key opens; the SNTP checks of
// the 48-byte head are still the caller's. A NAK (stratum 0, "NTSN") needs
// only the echo: the server could not read our cookie, so it cannot sign.
NtsReply CheckNtsReply(std::string_view datagram, std::string_view uniqueId, const AesSivKey& s2c);

// Cookies are sent once each, so that nobody on the way can tell two
// requests from one client apart from any others; every reply brings as many
// back as the request had room for.
class CookieJar {
public:
    static constexpr size_t kCapacity = 8;

    // The oldest: a server that changed its keys takes the newest longest.
    std::optional<std::string> Take();
    // The oldest make room when the jar is full.
    void Refill(std::vector<std::string> cookies);
    // After Take: how many placeholders to send beside the cookie for the
    // reply to fill the jar.
    size_t PlaceholdersWanted() const;
    // On a NAK: the server takes none of these any more.
    void Empty() { cookies_.clear(); }
    size_t Size() const { return cookies_.size(); }

private:
    std::deque<std::string> cookies_;
};
