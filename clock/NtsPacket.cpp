#include "clock/NtsPacket.h"

#include <algorithm>

#include "clock/NtsRecords.h"

namespace {

constexpr size_t kFieldHeader = 4;
// Outside or inside the authenticator: a reply needs four at most, and eight
// cookies besides.
constexpr size_t kMaxFields = 16;

uint16_t Be16(std::string_view bytes, size_t at) {
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(bytes[i]); };
    return static_cast<uint16_t>(byte(at) << 8 | byte(at + 1));
}

std::string Be16Bytes(size_t v) { return {static_cast<char>(v >> 8 & 0xFF), static_cast<char>(v & 0xFF)}; }

size_t Words(size_t length) { return (length + 3) / 4 * 4; }

std::string Padded(std::string_view bytes) {
    std::string out(bytes);
    out.resize(Words(bytes.size()), '\0');
    return out;
}

struct Field {
    uint16_t type = 0;
    size_t at = 0;  // where its head starts
    std::string_view body;
};

// Empty when a field runs past the end or is not whole words, or when there
// are too many.
std::optional<std::vector<Field>> Fields(std::string_view bytes, size_t at) {
    std::vector<Field> fields;
    while (at < bytes.size()) {
        if (fields.size() == kMaxFields || bytes.size() - at < kFieldHeader) return std::nullopt;
        const size_t length = Be16(bytes, at + 2);
        if (length < kFieldHeader || length % 4 != 0 || length > bytes.size() - at) return std::nullopt;
        fields.push_back({Be16(bytes, at), at, bytes.substr(at + kFieldHeader, length - kFieldHeader)});
        at += length;
    }
    return fields;
}

// What the authenticator seals, when key opens it over everything before it.
std::optional<std::string> Open(std::string_view datagram, const Field& authenticator, const AesSivKey& key) {
    const std::string_view body = authenticator.body;
    if (body.size() < 4) return std::nullopt;
    const size_t nonceLength = Be16(body, 0), sealedLength = Be16(body, 2);
    if (nonceLength == 0 || 4 + Words(nonceLength) + Words(sealedLength) > body.size()) return std::nullopt;
    return AesSivDecrypt(key, {datagram.substr(0, authenticator.at), body.substr(4, nonceLength)},
                         body.substr(4 + Words(nonceLength), sealedLength));
}

}  // namespace

std::string NtpExtensionField(uint16_t type, std::string_view body) {
    return Be16Bytes(type) + Be16Bytes(kFieldHeader + Words(body.size())) + Padded(body);
}

std::string NtsAuthenticate(std::string packet, const AesSivKey& key, std::string_view nonce,
                            std::string_view fields) {
    const std::string sealed = AesSivEncrypt(key, {packet, nonce}, fields);
    packet += NtpExtensionField(kNtsAuthenticator,
                                Be16Bytes(nonce.size()) + Be16Bytes(sealed.size()) + Padded(nonce) + Padded(sealed));
    return packet;
}

std::string NtsRequest(NtpTimestamp transmit, std::string_view uniqueId, std::string_view cookie,
                       size_t placeholders, const AesSivKey& c2s, std::string_view nonce) {
    std::string packet = SntpRequest(transmit) + NtpExtensionField(kNtsUniqueId, uniqueId) +
                         NtpExtensionField(kNtsCookie, cookie);
    // As long as the cookie, so that the reply, which carries a new cookie
    // for each, is no larger than the request: nobody can use the server to
    // amplify a flood.
    for (size_t i = 0; i < placeholders; ++i)
        packet += NtpExtensionField(kNtsCookiePlaceholder, std::string(cookie.size(), '\0'));
    return NtsAuthenticate(std::move(packet), c2s, nonce);
}

NtsReply CheckNtsReply(std::string_view datagram, std::string_view uniqueId, const AesSivKey& s2c) {
    NtsReply reply;
    if (datagram.size() < kNtpPacketLength) return reply;
    const auto fields = Fields(datagram, kNtpPacketLength);
    if (!fields || fields->empty()) return reply;
    if (std::none_of(fields->begin(), fields->end(),
                     [&](const Field& f) { return f.type == kNtsUniqueId && f.body == uniqueId; }))
        return reply;
    if (datagram[1] == 0 && datagram.substr(12, 4) == "NTSN") {
        reply.outcome = NtsReply::Outcome::Nak;
        return reply;
    }
    // Anything after the authenticator would be unsigned, and a second one
    // would be a second opinion.
    const Field& authenticator = fields->back();
    if (authenticator.type != kNtsAuthenticator ||
        std::count_if(fields->begin(), fields->end(), [](const Field& f) { return f.type == kNtsAuthenticator; }) != 1)
        return reply;
    const std::optional<std::string> sealed = Open(datagram, authenticator, s2c);
    if (!sealed) return reply;
    const auto inside = Fields(*sealed, 0);
    if (!inside) return reply;
    for (const Field& f : *inside) {
        if (f.type != kNtsCookie) continue;
        if (f.body.empty() || f.body.size() > kMaxCookieLength) return reply;
        reply.cookies.emplace_back(f.body);
    }
    reply.outcome = NtsReply::Outcome::Authentic;
    return reply;
}

std::optional<std::string> CookieJar::Take() {
    if (cookies_.empty()) return std::nullopt;
    std::string cookie = std::move(cookies_.front());
    cookies_.pop_front();
    return cookie;
}

void CookieJar::Refill(std::vector<std::string> cookies) {
    for (std::string& c : cookies) {
        if (cookies_.size() == kCapacity) cookies_.pop_front();
        cookies_.push_back(std::move(c));
    }
}

size_t CookieJar::PlaceholdersWanted() const { return kCapacity - 1 - std::min(cookies_.size(), kCapacity - 1); }
