#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// NTS key establishment: over TLS to port 4460, the client asks for NTPv4
// with AES-SIV-CMAC-256, and the server answers with the cookies that its NTP
// port will take, and perhaps another NTP server and port. Both sides speak
// in records: a critical bit and a 15-bit type in 16 bits, a 16-bit body
// length, the body.
inline constexpr uint16_t kNtsKePort = 4460;
inline constexpr std::string_view kNtsKeAlpn = "ntske/1";
// The two keys are exported from the TLS session under this label, with the
// context from NtsKeyContext.
inline constexpr std::string_view kNtsKeExporterLabel = "EXPORTER-network-time-security";
inline constexpr size_t kNtsKeyLength = 32;

inline constexpr uint16_t kNtpV4Protocol = 0;
inline constexpr uint16_t kAeadAesSivCmac256 = 15;

// A response larger than this, or with more or larger cookies, is refused
// rather than held: nothing a server needs to say comes close.
inline constexpr size_t kMaxNtsKeResponse = 16 * 1024;
inline constexpr size_t kMaxCookies = 8;
inline constexpr size_t kMaxCookieLength = 1024;
inline constexpr size_t kMaxServerName = 255;

struct NtsKeRecord {
    bool critical = false;
    uint16_t type = 0;  // 15 bits
    std::string body;   // at most 65535 bytes
};

std::string WriteNtsKeRecords(const std::vector<NtsKeRecord>& records);
// The whole records at the start of bytes, up to and including the first End
// of Message; every whole record when there is none.
std::vector<NtsKeRecord> ReadNtsKeRecords(std::string_view bytes);

// NTPv4 (critical), AES-SIV-CMAC-256, End of Message.
std::string NtsKeRequest();
// The context that tells the client-to-server key (false) from the
// server-to-client one (true).
std::string NtsKeyContext(bool serverToClient);

// True once reading more cannot change what CheckNtsKeResponse says: an End
// of Message record arrived, or the bound was passed. The TLS reader stops
// there; a server that closes first leaves a truncated response.
bool NtsKeResponseEnded(std::string_view soFar);

struct NtsKeResponse {
    enum class Outcome {
        Valid,
        Truncated,        // no End of Message, or it ends inside a record
        TooLong,          // more than kMaxNtsKeResponse bytes
        AfterEnd,         // bytes after End of Message
        ServerError,      // the server's Error record; code holds its code
        ServerWarning,    // a Warning, which we understand none of; code holds it
        UnknownCritical,  // code holds the record type
        Malformed,        // a record we know with a body of the wrong size, or twice
        NotNtpV4,         // the next protocol is missing or not NTPv4 alone
        NotAesSiv,        // the AEAD is missing or not AES-SIV-CMAC-256
        NoCookies,
        TooManyCookies,
        BadCookie,  // empty or longer than kMaxCookieLength
        BadServer,  // a name that is empty, too long or not printable ASCII, or port 0
    };
    Outcome outcome = Outcome::Truncated;
    uint16_t code = 0;
    std::vector<std::string> cookies;
    std::string server;             // empty: the key establishment's own host
    std::optional<uint16_t> port;  // empty: 123
};

NtsKeResponse CheckNtsKeResponse(std::string_view response);
