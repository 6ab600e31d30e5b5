#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// One request and its answer over TLS 1.3: the key exchange of Network Time
// Security. The server must show a certificate that chains to a root this
// computer trusts and names the server asked for. Nothing here waits; the run
// polls Result while the window's events go on.
struct TlsRequest {
    std::string name;       // what the certificate must name: a host name or an address
    std::string connectTo;  // where to connect: the name, or an address of it
    uint16_t port = 0;
    std::string alpn;      // the one application protocol asked for
    std::string request;   // sent once the server is trusted
    // True when the answer so far is whole; the server closing ends it too.
    std::function<bool(std::string_view)> ended;
    // Keying material exported from the session once the answer is in: one
    // exportLength-byte key for each context.
    std::string exportLabel;
    std::vector<std::string> exportContexts;
    size_t exportLength = 0;
};

struct TlsFailure {
    enum class Kind {
        Connect,    // number and description: the socket's error
        Handshake,  // number: the TLS library's error
        NoAlpn,     // the server would not speak the protocol asked for
        Untrusted,  // no chain to a trusted root, or a chain Windows rejects
        OtherName,  // a good chain for another name
        Dates,      // a good chain for this name that is not valid at this computer's date
        Closed,     // the server closed before the answer was whole
    };
    Kind kind = Kind::Connect;
    int32_t number = 0;
    std::string description{};
};

struct TlsResult {
    std::optional<TlsFailure> failure{};
    std::string answer{};
    std::vector<std::string> exported{};  // one a context, when there is no failure
};

class TlsClient {
public:
    virtual ~TlsClient() = default;
    // Returns at once; a request started while another goes on replaces it.
    virtual void Start(TlsRequest request) = 0;
    // Empty while the exchange goes on; once, when it has ended.
    virtual std::optional<TlsResult> Result() = 0;
    // Gives up the exchange in progress, if any.
    virtual void Cancel() = 0;
};
