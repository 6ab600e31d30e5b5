#include "platform/Socket_win.h"

#include <algorithm>
#include <memory>
#include <thread>

#include "platform/SystemMessage_win.h"

namespace {

constexpr UINT kMsgSocket = WM_APP + 1;
constexpr UINT kMsgResolved = WM_APP + 2;
constexpr UINT kMsgConnected = WM_APP + 3;
constexpr UINT_PTR kAttemptTimer = 1;
const char kWindowClass[] = "VeltranoSocketWindow";

SocketError ErrorOf(int code) { return {code, SystemMessage(static_cast<DWORD>(code))}; }

// In the resolver's order, but alternating the families, so that one broken
// family costs one attempt, not several in a row.
std::vector<sockaddr_storage> ToAddresses(const addrinfo* list) {
    std::vector<sockaddr_storage> first, other;
    for (const addrinfo* a = list; a; a = a->ai_next) {
        if (a->ai_addrlen > sizeof(sockaddr_storage)) continue;
        sockaddr_storage s{};
        memcpy(&s, a->ai_addr, a->ai_addrlen);
        (first.empty() || s.ss_family == first.front().ss_family ? first : other).push_back(s);
    }
    std::vector<sockaddr_storage> out;
    for (size_t i = 0; i < first.size() || i < other.size(); ++i) {
        if (i < first.size()) out.push_back(first[i]);
        if (i < other.size()) out.push_back(other[i]);
    }
    return out;
}

// The bytes that wait to be read, at most INT32_MAX; 0 also when the socket failed.
int32_t BytesWaiting(SOCKET s) {
    u_long waiting = 0;
    if (ioctlsocket(s, FIONREAD, &waiting) != 0) return 0;
    return static_cast<int32_t>(std::min<u_long>(waiting, INT32_MAX));
}

bool IsUdp(SocketProtocol p) { return p == SocketProtocol::Udp; }

int Lookup(const std::string& host, uint16_t port, SocketProtocol protocol, int flags,
           std::vector<sockaddr_storage>& out) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = IsUdp(protocol) ? SOCK_DGRAM : SOCK_STREAM;
    hints.ai_protocol = IsUdp(protocol) ? IPPROTO_UDP : IPPROTO_TCP;
    hints.ai_flags = flags;
    addrinfo* list = nullptr;
    const std::string service = std::to_string(port);
    const int rc = getaddrinfo(host.c_str(), service.c_str(), &hints, &list);
    if (rc != 0) return rc;
    out = ToAddresses(list);
    freeaddrinfo(list);
    return out.empty() ? WSAHOST_NOT_FOUND : 0;
}

}  // namespace

Win32Socket::Win32Socket() {
    WSADATA wsa;
    winsockStarted_ = WSAStartup(MAKEWORD(2, 2), &wsa) == 0;
    WNDCLASSA wc{};
    wc.lpfnWndProc = WndProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = kWindowClass;
    RegisterClassA(&wc);  // fails harmlessly for the second instance
    CreateWindowExA(0, kWindowClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, this);
}

Win32Socket::~Win32Socket() {
    Close();
    DestroyOwnWindow();
    if (winsockStarted_) WSACleanup();
}

LRESULT Win32Socket::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case kMsgSocket:
        OnSocket(static_cast<SOCKET>(wp), WSAGETSELECTEVENT(lp), WSAGETSELECTERROR(lp));
        return 0;
    case kMsgConnected:
        if (wp == generation_ && state_ == SocketState::Connected && events_) events_->Winsock1_Connect();
        return 0;
    case WM_TIMER:
        if (wp == kAttemptTimer) OnAttemptTimeout();
        return 0;
    case kMsgResolved:
        OnResolved(static_cast<unsigned>(wp));
        return 0;
    }
    return DefWindowProcA(hwnd_.get(), msg, wp, lp);
}

void Win32Socket::Close() {
    if (hwnd_) KillTimer(hwnd_.get(), kAttemptTimer);
    ++generation_;
    {
        const std::lock_guard lock(resolved_->mutex);
        resolved_->answers.clear();
    }
    socket_.reset();
    addresses_.clear();
    state_ = SocketState::Closed;
}

std::optional<SocketError> Win32Socket::Connect() {
    if (!winsockStarted_ || !hwnd_) return ErrorOf(WSANOTINITIALISED);
    Close();
    std::vector<sockaddr_storage> numeric;
    if (Lookup(host_, port_, protocol_, AI_NUMERICHOST, numeric) == 0) {
        addresses_ = std::move(numeric);
        nextAddress_ = 0;
        state_ = SocketState::Connecting;
        TryNextAddress(WSAHOST_NOT_FOUND);
        return std::nullopt;
    }
    // Only names need the resolver; its answer comes back as a message.
    state_ = SocketState::Resolving;
    HWND target = hwnd_.get();
    std::thread([target, answers = resolved_, generation = generation_, host = host_, port = port_,
                 protocol = protocol_] {
        Resolved r{generation, 0, {}};
        r.error = Lookup(host, port, protocol, 0, r.addresses);
        {
            const std::lock_guard lock(answers->mutex);
            answers->answers.push_back(std::move(r));
        }
        PostMessageA(target, kMsgResolved, generation, 0);
    }).detach();
    return std::nullopt;
}

void Win32Socket::OnResolved(unsigned generation) {
    if (generation != generation_ || state_ != SocketState::Resolving) return;
    std::optional<Resolved> found;
    {
        const std::lock_guard lock(resolved_->mutex);
        auto& answers = resolved_->answers;
        for (auto it = answers.begin(); it != answers.end(); ++it) {
            if (it->generation != generation) continue;
            found = std::move(*it);
            answers.erase(it);
            break;
        }
    }
    if (!found) return;  // a message no resolver of ours sent
    Resolved& r = *found;
    if (r.error != 0) return Fail(r.error);
    addresses_ = std::move(r.addresses);
    nextAddress_ = 0;
    state_ = SocketState::Connecting;
    TryNextAddress(WSAHOST_NOT_FOUND);
}

// A name may give several addresses (::1 and 127.0.0.1 for localhost); the
// first one that accepts wins, and the last failure is the one reported.
void Win32Socket::TryNextAddress(int lastError) {
    socket_.reset();
    while (nextAddress_ < addresses_.size()) {
        const sockaddr_storage& a = addresses_[nextAddress_++];
        const bool udp = IsUdp(protocol_);
        UniqueSocket s(socket(a.ss_family, udp ? SOCK_DGRAM : SOCK_STREAM, udp ? IPPROTO_UDP : IPPROTO_TCP));
        if (!s) {
            lastError = WSAGetLastError();
            continue;
        }
        if (WSAAsyncSelect(s.get(), hwnd_.get(), kMsgSocket, FD_CONNECT | FD_READ | FD_CLOSE) != 0) {
            lastError = WSAGetLastError();
            continue;
        }
        const int len = a.ss_family == AF_INET6 ? sizeof(sockaddr_in6) : sizeof(sockaddr_in);
        if (connect(s.get(), reinterpret_cast<const sockaddr*>(&a), len) == 0 ||
            WSAGetLastError() == WSAEWOULDBLOCK) {
            socket_ = std::move(s);
            if (udp) {
                // Tied to the address at once, but announced through the queue
                // like every other event, never from inside Connect.
                state_ = SocketState::Connected;
                PostMessageA(hwnd_.get(), kMsgConnected, generation_, 0);
                return;
            }
            // The last address has what is left of the caller's own time-out.
            if (nextAddress_ < addresses_.size()) SetTimer(hwnd_.get(), kAttemptTimer, kAttemptTimeoutMs, nullptr);
            return;
        }
        lastError = WSAGetLastError();
    }
    Fail(lastError);
}

void Win32Socket::OnAttemptTimeout() {
    KillTimer(hwnd_.get(), kAttemptTimer);
    if (state_ == SocketState::Connecting) TryNextAddress(WSAETIMEDOUT);
}

void Win32Socket::Fail(int error) {
    socket_.reset();
    state_ = SocketState::Error;
    if (events_) events_->Winsock1_Error(error, SystemMessage(static_cast<DWORD>(error)));
}

void Win32Socket::OnSocket(SOCKET s, WORD event, WORD error) {
    if (!socket_ || s != socket_.get() || !events_) return;  // a socket closed since
    switch (event) {
    case FD_CONNECT:
        KillTimer(hwnd_.get(), kAttemptTimer);
        if (error != 0) return TryNextAddress(error);
        state_ = SocketState::Connected;
        events_->Winsock1_Connect();
        return;
    case FD_READ:
        if (const int32_t waiting = BytesWaiting(s)) events_->Winsock1_DataArrival(waiting);
        return;
    case FD_CLOSE:
        // Winsock may report the close while the last bytes still wait to be
        // read: hand them over first, as the reply is only complete with them.
        // The run may close the socket on any of them.
        for (int i = 0; i < 256; ++i) {
            const int32_t waiting = BytesWaiting(s);
            if (waiting == 0) break;
            events_->Winsock1_DataArrival(waiting);
            if (!socket_ || s != socket_.get()) return;
        }
        state_ = SocketState::PeerClosing;
        events_->Winsock1_Close();
        return;
    }
}

std::optional<SocketError> Win32Socket::SendData(std::string_view bytes) {
    if (!socket_) return ErrorOf(WSAENOTCONN);
    if (send(socket_.get(), bytes.data(), static_cast<int>(bytes.size()), 0) == SOCKET_ERROR)
        return ErrorOf(WSAGetLastError());
    return std::nullopt;
}

std::string Win32Socket::GetData() {
    if (!socket_) return {};
    std::string buf(kReadChunk, '\0');
    const int n = recv(socket_.get(), buf.data(), static_cast<int>(buf.size()), 0);
    buf.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return buf;
}

std::string Win32Socket::PeerAddress() const {
    if (!socket_ || (state_ != SocketState::Connected && state_ != SocketState::PeerClosing)) return {};
    sockaddr_storage peer{};
    int length = sizeof peer;
    if (getpeername(socket_.get(), reinterpret_cast<sockaddr*>(&peer), &length) != 0) return {};
    char text[INET6_ADDRSTRLEN] = {};
    const void* address = peer.ss_family == AF_INET6 ? static_cast<const void*>(&reinterpret_cast<sockaddr_in6&>(peer).sin6_addr)
                                                     : &reinterpret_cast<sockaddr_in&>(peer).sin_addr;
    return inet_ntop(peer.ss_family, address, text, sizeof text) ? text : std::string();
}
