#include "clock/NtsRecords.h"

namespace {

enum RecordType : uint16_t {
    kEndOfMessage = 0,
    kNextProtocol = 1,
    kError = 2,
    kWarning = 3,
    kAead = 4,
    kNewCookie = 5,
    kServer = 6,
    kPort = 7,
};
constexpr uint16_t kCriticalBit = 0x8000;
constexpr size_t kRecordHeader = 4;

uint16_t Be16(std::string_view bytes, size_t at) {
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(bytes[i]); };
    return static_cast<uint16_t>(byte(at) << 8 | byte(at + 1));
}

std::string Be16Bytes(uint16_t v) { return {static_cast<char>(v >> 8), static_cast<char>(v & 0xFF)}; }

// Reads whole records until the first End of Message, which it keeps. The
// length read through that record, 0 when none has come yet.
size_t ReadRecords(std::string_view bytes, std::vector<NtsKeRecord>* records) {
    size_t at = 0;
    while (bytes.size() - at >= kRecordHeader) {
        const uint16_t first = Be16(bytes, at);
        const size_t length = Be16(bytes, at + 2);
        if (bytes.size() - at - kRecordHeader < length) break;
        if (records)
            records->push_back({(first & kCriticalBit) != 0, static_cast<uint16_t>(first & ~kCriticalBit),
                                std::string(bytes.substr(at + kRecordHeader, length))});
        at += kRecordHeader + length;
        if ((first & ~kCriticalBit) == kEndOfMessage) return at;
    }
    return 0;
}

// A host name or an address in text: what a resolver takes, no blank, no
// control character and nothing it could mistake for one.
bool PrintableName(std::string_view name) {
    if (name.empty() || name.size() > kMaxServerName) return false;
    for (const char c : name)
        if (c < '!' || c > '~') return false;
    return true;
}

}  // namespace

std::string WriteNtsKeRecords(const std::vector<NtsKeRecord>& records) {
    std::string out;
    for (const NtsKeRecord& r : records) {
        out += Be16Bytes(static_cast<uint16_t>((r.critical ? kCriticalBit : 0) | (r.type & ~kCriticalBit)));
        out += Be16Bytes(static_cast<uint16_t>(r.body.size()));
        out += r.body;
    }
    return out;
}

std::vector<NtsKeRecord> ReadNtsKeRecords(std::string_view bytes) {
    std::vector<NtsKeRecord> records;
    ReadRecords(bytes, &records);
    return records;
}

std::string NtsKeRequest() {
    return WriteNtsKeRecords({{true, kNextProtocol, Be16Bytes(kNtpV4Protocol)},
                              {false, kAead, Be16Bytes(kAeadAesSivCmac256)},
                              {true, kEndOfMessage, ""}});
}

std::string NtsKeyContext(bool serverToClient) {
    return Be16Bytes(kNtpV4Protocol) + Be16Bytes(kAeadAesSivCmac256) + (serverToClient ? '\x01' : '\x00');
}

bool NtsKeResponseEnded(std::string_view soFar) {
    return soFar.size() > kMaxNtsKeResponse || ReadRecords(soFar, nullptr) != 0;
}

NtsKeResponse CheckNtsKeResponse(std::string_view response) {
    using O = NtsKeResponse::Outcome;
    const auto fail = [](O outcome, uint16_t code = 0) {
        NtsKeResponse failed;
        failed.outcome = outcome, failed.code = code;
        return failed;
    };
    if (response.size() > kMaxNtsKeResponse) return fail(O::TooLong);
    std::vector<NtsKeRecord> records;
    const size_t end = ReadRecords(response, &records);
    if (end == 0) return fail(O::Truncated);
    if (end != response.size()) return fail(O::AfterEnd);

    NtsKeResponse r;
    bool ntpV4 = false, aead = false;
    // In the order sent: what the server says first is what it meant, so an
    // Error record is told as such even when the rest is missing.
    for (const NtsKeRecord& record : records) {
        const std::string_view body = record.body;
        switch (record.type) {
        case kEndOfMessage:
            if (!body.empty()) return fail(O::Malformed);
            break;
        case kNextProtocol:
            if (ntpV4) return fail(O::Malformed);
            if (body != Be16Bytes(kNtpV4Protocol)) return fail(O::NotNtpV4);
            ntpV4 = true;
            break;
        case kError:
        case kWarning:
            if (body.size() != 2) return fail(O::Malformed);
            return fail(record.type == kError ? O::ServerError : O::ServerWarning, Be16(body, 0));
        case kAead:
            if (aead) return fail(O::Malformed);
            if (body != Be16Bytes(kAeadAesSivCmac256)) return fail(O::NotAesSiv);
            aead = true;
            break;
        case kNewCookie:
            if (r.cookies.size() == kMaxCookies) return fail(O::TooManyCookies);
            if (body.empty() || body.size() > kMaxCookieLength) return fail(O::BadCookie);
            r.cookies.emplace_back(body);
            break;
        case kServer:
            if (!r.server.empty()) return fail(O::Malformed);
            if (!PrintableName(body)) return fail(O::BadServer);
            r.server = body;
            break;
        case kPort:
            if (r.port || body.size() != 2) return fail(O::Malformed);
            if (Be16(body, 0) == 0) return fail(O::BadServer);
            r.port = Be16(body, 0);
            break;
        default:
            // A record we may skip only when the server says so.
            if (record.critical) return fail(O::UnknownCritical, record.type);
        }
    }
    if (!ntpV4) return fail(O::NotNtpV4);
    if (!aead) return fail(O::NotAesSiv);
    if (r.cookies.empty()) return fail(O::NoCookies);
    r.outcome = O::Valid;
    return r;
}
