#include "platform/TlsClient_win.h"

#include <winsock2.h>
#include <windows.h>
#include <wincrypt.h>
#include <ws2tcpip.h>

#include <atomic>
#include <mutex>
#include <thread>

#include <mbedtls/ssl.h>
#include <psa/crypto.h>

#include "platform/SystemMessage_win.h"
#include "platform/TlsRandom.h"
#include "platform/WideText_win.h"

struct Win32TlsClient::Job {
    TlsRequest request;
    std::atomic<bool> cancelled{false};
    std::atomic<SOCKET> socket{INVALID_SOCKET};
    std::mutex lock;
    std::optional<TlsResult> result;  // under lock
};

namespace {

// crypt32 is no KnownDLL: loaded by full path from the system folder, so
// that a file of that name beside the exe is never the one used.
struct Crypt32 {
    decltype(&CertCreateCertificateContext) createContext = nullptr;
    decltype(&CertFreeCertificateContext) freeContext = nullptr;
    decltype(&CertOpenStore) openStore = nullptr;
    decltype(&CertCloseStore) closeStore = nullptr;
    decltype(&CertAddEncodedCertificateToStore) addEncoded = nullptr;
    decltype(&CertGetCertificateChain) getChain = nullptr;
    decltype(&CertFreeCertificateChain) freeChain = nullptr;
    decltype(&CertVerifyCertificateChainPolicy) verifyPolicy = nullptr;

    static const Crypt32* Load() {
        static const Crypt32 functions = [] {
            Crypt32 f;
            const HMODULE dll = LoadLibraryExW(L"crypt32.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
            if (!dll) return f;
            const auto get = [dll](auto& fn, const char* name) {
                fn = reinterpret_cast<std::remove_reference_t<decltype(fn)>>(
                    reinterpret_cast<void*>(GetProcAddress(dll, name)));
            };
            get(f.createContext, "CertCreateCertificateContext");
            get(f.freeContext, "CertFreeCertificateContext");
            get(f.openStore, "CertOpenStore");
            get(f.closeStore, "CertCloseStore");
            get(f.addEncoded, "CertAddEncodedCertificateToStore");
            get(f.getChain, "CertGetCertificateChain");
            get(f.freeChain, "CertFreeCertificateChain");
            get(f.verifyPolicy, "CertVerifyCertificateChainPolicy");
            return f;
        }();
        const Crypt32& f = functions;
        return f.createContext && f.freeContext && f.openStore && f.closeStore && f.addEncoded && f.getChain &&
                       f.freeChain && f.verifyPolicy
                   ? &f
                   : nullptr;
    }
};

// What Windows makes of the chain the server sent for name: nothing when it
// passes. Wine's SSL policy passes a chain that ends at an unknown root, so
// the chain's own trust status is read too; Windows reports the same fault in
// both places.
std::optional<TlsFailure::Kind> JudgeChain(const mbedtls_x509_crt* sent, const std::string& name) {
    using K = TlsFailure::Kind;
    const Crypt32* c = Crypt32::Load();
    if (!sent || !c) return K::Untrusted;
    PCCERT_CONTEXT leaf = c->createContext(X509_ASN_ENCODING, sent->raw.p, static_cast<DWORD>(sent->raw.len));
    HCERTSTORE others = c->openStore(CERT_STORE_PROV_MEMORY, 0, 0, 0, nullptr);
    if (!leaf || !others) {
        if (leaf) c->freeContext(leaf);
        if (others) c->closeStore(others, 0);
        return K::Untrusted;
    }
    for (const mbedtls_x509_crt* next = sent->next; next; next = next->next)
        c->addEncoded(others, X509_ASN_ENCODING, next->raw.p, static_cast<DWORD>(next->raw.len),
                      CERT_STORE_ADD_ALWAYS, nullptr);
    char serverAuth[] = szOID_PKIX_KP_SERVER_AUTH;
    LPSTR usages[] = {serverAuth};
    CERT_CHAIN_PARA params{};
    params.cbSize = sizeof params;
    params.RequestedUsage.dwType = USAGE_MATCH_TYPE_AND;
    params.RequestedUsage.Usage = {1, usages};
    PCCERT_CHAIN_CONTEXT chain = nullptr;
    std::optional<K> verdict = K::Untrusted;
    if (c->getChain(nullptr, leaf, nullptr, others, &params, 0, nullptr, &chain) && chain) {
        std::wstring wideName = WideFromUtf8(name);
        SSL_EXTRA_CERT_CHAIN_POLICY_PARA ssl{};
        ssl.cbSize = sizeof ssl;
        ssl.dwAuthType = AUTHTYPE_SERVER;
        ssl.pwszServerName = wideName.data();
        CERT_CHAIN_POLICY_PARA policy{};
        policy.cbSize = sizeof policy;
        policy.pvExtraPolicyPara = &ssl;
        CERT_CHAIN_POLICY_STATUS status{};
        status.cbSize = sizeof status;
        const bool checked = c->verifyPolicy(CERT_CHAIN_POLICY_SSL, chain, &policy, &status);
        constexpr DWORD kDates = CERT_TRUST_IS_NOT_TIME_VALID | CERT_TRUST_CTL_IS_NOT_TIME_VALID;
        const DWORD trust = chain->TrustStatus.dwErrorStatus;
        const auto error = static_cast<HRESULT>(status.dwError);
        if (!checked || (trust & ~kDates) != 0) verdict = K::Untrusted;
        else if (error == CERT_E_CN_NO_MATCH) verdict = K::OtherName;
        else if ((trust & kDates) != 0 || error == CERT_E_EXPIRED) verdict = K::Dates;
        else if (error != 0) verdict = K::Untrusted;
        else verdict = std::nullopt;
        c->freeChain(chain);
    }
    c->freeContext(leaf);
    c->closeStore(others, 0);
    return verdict;
}

int Send(void* context, const unsigned char* bytes, size_t size) {
    const int sent = send(*static_cast<SOCKET*>(context), reinterpret_cast<const char*>(bytes),
                          static_cast<int>(std::min<size_t>(size, 1 << 20)), 0);
    return sent < 0 ? MBEDTLS_ERR_SSL_INTERNAL_ERROR : sent;
}

int Receive(void* context, unsigned char* bytes, size_t size) {
    const int got = recv(*static_cast<SOCKET*>(context), reinterpret_cast<char*>(bytes),
                         static_cast<int>(std::min<size_t>(size, 1 << 20)), 0);
    if (got < 0) return WSAGetLastError() == WSAETIMEDOUT ? MBEDTLS_ERR_SSL_TIMEOUT : MBEDTLS_ERR_SSL_INTERNAL_ERROR;
    return got == 0 ? MBEDTLS_ERR_SSL_PEER_CLOSE_NOTIFY : got;
}

// The first address of connectTo that takes the connection within the time-out.
SOCKET Connect(Win32TlsClient::Job& job, TlsFailure& failure) {
    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    addrinfo* found = nullptr;
    const std::string port = std::to_string(job.request.port);
    if (const int error = getaddrinfo(job.request.connectTo.c_str(), port.c_str(), &hints, &found)) {
        failure = {TlsFailure::Kind::Connect, error, SystemMessage(static_cast<DWORD>(error))};
        return INVALID_SOCKET;
    }
    SOCKET s = INVALID_SOCKET;
    int error = WSAETIMEDOUT;
    for (const addrinfo* a = found; a && s == INVALID_SOCKET && !job.cancelled; a = a->ai_next) {
        s = socket(a->ai_family, a->ai_socktype, a->ai_protocol);
        if (s == INVALID_SOCKET) continue;
        job.socket = s;
        u_long nonBlocking = 1;
        ioctlsocket(s, FIONBIO, &nonBlocking);
        connect(s, a->ai_addr, static_cast<int>(a->ai_addrlen));
        fd_set writable, failed;
        FD_ZERO(&writable);
        FD_ZERO(&failed);
        FD_SET(s, &writable);
        FD_SET(s, &failed);
        timeval wait{Win32TlsClient::kTimeoutSeconds, 0};
        int soError = 0, length = sizeof soError;
        const bool done = select(0, nullptr, &writable, &failed, &wait) > 0 && FD_ISSET(s, &writable) &&
                          getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&soError), &length) == 0 &&
                          soError == 0;
        if (!done) {
            error = soError ? soError : FD_ISSET(s, &failed) ? WSAECONNREFUSED : WSAETIMEDOUT;
            job.socket = INVALID_SOCKET;
            closesocket(s);
            s = INVALID_SOCKET;
        }
    }
    freeaddrinfo(found);
    if (s == INVALID_SOCKET) {
        failure = {TlsFailure::Kind::Connect, error, SystemMessage(static_cast<DWORD>(error))};
        return INVALID_SOCKET;
    }
    u_long blocking = 0;
    ioctlsocket(s, FIONBIO, &blocking);
    const DWORD timeout = Win32TlsClient::kTimeoutSeconds * 1000;
    setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout);
    setsockopt(s, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout);
    return s;
}

TlsFailure Handshake(int error) { return {TlsFailure::Kind::Handshake, error, {}}; }

// The exchange, start to end, in the job's thread.
TlsResult RunExchange(Win32TlsClient::Job& job) {
    TlsResult result;
    const TlsRequest& r = job.request;
    if (psa_crypto_init() != PSA_SUCCESS) return result.failure = Handshake(MBEDTLS_ERR_SSL_INTERNAL_ERROR), result;
    TlsFailure failure;
    SOCKET s = Connect(job, failure);
    if (s == INVALID_SOCKET) return result.failure = failure, result;

    mbedtls_ssl_config config;
    mbedtls_ssl_context ssl;
    mbedtls_ssl_config_init(&config);
    mbedtls_ssl_init(&ssl);
    const char* alpn[] = {r.alpn.c_str(), nullptr};
    int error = mbedtls_ssl_config_defaults(&config, MBEDTLS_SSL_IS_CLIENT, MBEDTLS_SSL_TRANSPORT_STREAM,
                                            MBEDTLS_SSL_PRESET_DEFAULT);
    if (!error) {
        mbedtls_ssl_conf_min_tls_version(&config, MBEDTLS_SSL_VERSION_TLS1_3);
        mbedtls_ssl_conf_max_tls_version(&config, MBEDTLS_SSL_VERSION_TLS1_3);
        mbedtls_ssl_conf_rng(&config, TlsRandom, nullptr);
        // Windows judges the certificate once the handshake has proved that
        // the server holds its key.
        mbedtls_ssl_conf_authmode(&config, MBEDTLS_SSL_VERIFY_NONE);
        error = mbedtls_ssl_conf_alpn_protocols(&config, alpn);
    }
    if (!error) error = mbedtls_ssl_setup(&ssl, &config);
    if (!error) error = mbedtls_ssl_set_hostname(&ssl, r.name.c_str());
    mbedtls_ssl_set_bio(&ssl, &s, Send, Receive, nullptr);
    if (!error) error = mbedtls_ssl_handshake(&ssl);
    const char* agreed = error ? nullptr : mbedtls_ssl_get_alpn_protocol(&ssl);
    if (error == MBEDTLS_ERR_SSL_FATAL_ALERT_MESSAGE &&
        ssl.MBEDTLS_PRIVATE(in_msg)[1] == MBEDTLS_SSL_ALERT_MSG_NO_APPLICATION_PROTOCOL) {
        result.failure = TlsFailure{TlsFailure::Kind::NoAlpn};
    } else if (error) {
        result.failure = Handshake(error);
    } else if (!agreed || r.alpn != agreed) {
        result.failure = TlsFailure{TlsFailure::Kind::NoAlpn};
    } else if (const std::optional<TlsFailure::Kind> judged = JudgeChain(mbedtls_ssl_get_peer_cert(&ssl), r.name)) {
        result.failure = TlsFailure{*judged};
    } else {
        size_t written = 0;
        while (!error && written < r.request.size()) {
            const int n = mbedtls_ssl_write(&ssl, reinterpret_cast<const unsigned char*>(r.request.data()) + written,
                                            r.request.size() - written);
            n < 0 ? void(error = n) : void(written += static_cast<size_t>(n));
        }
        unsigned char buffer[4096];
        while (!error && !job.cancelled && !(r.ended && r.ended(result.answer))) {
            const int n = mbedtls_ssl_read(&ssl, buffer, sizeof buffer);
            if (n == 0 || n == MBEDTLS_ERR_SSL_PEER_CLOSE_NOTIFY) break;
            n < 0 ? void(error = n) : void(result.answer.append(reinterpret_cast<char*>(buffer), n));
        }
        for (const std::string& context : r.exportContexts) {
            std::string key(r.exportLength, '\0');
            if (!error)
                error = mbedtls_ssl_export_keying_material(
                    &ssl, reinterpret_cast<unsigned char*>(key.data()), key.size(), r.exportLabel.data(),
                    r.exportLabel.size(), reinterpret_cast<const unsigned char*>(context.data()), context.size(), 1);
            result.exported.push_back(std::move(key));
        }
        if (error) result.failure = TlsFailure{TlsFailure::Kind::Closed, error, {}}, result.exported.clear();
        else mbedtls_ssl_close_notify(&ssl);
    }
    mbedtls_ssl_free(&ssl);
    mbedtls_ssl_config_free(&config);
    job.socket = INVALID_SOCKET;
    closesocket(s);
    return result;
}

}  // namespace

Win32TlsClient::Win32TlsClient() = default;

Win32TlsClient::~Win32TlsClient() { Cancel(); }

void Win32TlsClient::Start(TlsRequest request) {
    Cancel();
    auto job = std::make_shared<Job>();
    job->request = std::move(request);
    job_ = job;
    // The thread keeps the job alive: a client that gave it up or went away
    // leaves it to end on its own, its socket shut.
    std::thread([job] {
        WSADATA data;
        const bool started = WSAStartup(MAKEWORD(2, 2), &data) == 0;
        TlsResult result = RunExchange(*job);
        if (started) WSACleanup();
        const std::lock_guard<std::mutex> hold(job->lock);
        job->result = std::move(result);
    }).detach();
}

std::optional<TlsResult> Win32TlsClient::Result() {
    if (!job_) return std::nullopt;
    std::optional<TlsResult> result;
    {
        const std::lock_guard<std::mutex> hold(job_->lock);
        result = std::move(job_->result);
    }
    if (result) job_.reset();
    return result;
}

void Win32TlsClient::Cancel() {
    if (!job_) return;
    job_->cancelled = true;
    if (const SOCKET s = job_->socket; s != INVALID_SOCKET) shutdown(s, SD_BOTH);
    job_.reset();
}
