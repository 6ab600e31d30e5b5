#pragma once
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/BaseWindow_win.h"
#include "platform/Socket.h"
#include "platform/UniqueHandle_win.h"

// A TCP or UDP client on Winsock whose notifications arrive as messages to a
// hidden window, so its events run on the user-interface thread whenever
// messages are pumped. Host names are resolved on a worker thread: a slow name server
// never freezes the window.
class Win32Socket final : public ClientSocket, public BaseWindow<Win32Socket> {
public:
    static constexpr size_t kReadChunk = 64 * 1024;
    // How long an address that has others after it may take to accept, so an
    // unreachable first address (a broken IPv6 route) leaves the others time.
    static constexpr UINT kAttemptTimeoutMs = 2000;

    Win32Socket();
    // Events go nowhere until a receiver is set; the run that receives them
    // is built after its socket.
    void SetEvents(SocketEventSink* events) { events_ = events; }
    ~Win32Socket() override;
    Win32Socket(const Win32Socket&) = delete;
    Win32Socket& operator=(const Win32Socket&) = delete;

    SocketState State() const override { return state_; }
    void Close() override;
    void SetProtocol(SocketProtocol protocol) override { protocol_ = protocol; }
    void SetRemoteHost(const std::string& host) override { host_ = host; }
    void SetRemotePort(uint16_t port) override { port_ = port; }
    std::optional<SocketError> Connect() override;
    std::optional<SocketError> SendData(std::string_view bytes) override;
    std::string GetData() override;
    std::string PeerAddress() const override;

private:
    friend class BaseWindow<Win32Socket>;
    struct Resolved {
        unsigned generation;
        int error;
        std::vector<sockaddr_storage> addresses;
    };
    // What resolver threads found, kept here rather than in their messages:
    // a message that never arrives then loses nothing, and one that another
    // program posts carries nothing to free. Shared with threads that may
    // outlive the socket.
    struct ResolverAnswers {
        std::mutex mutex;
        std::vector<Resolved> answers;
    };
    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp);
    void OnResolved(unsigned generation);
    void OnSocket(SOCKET s, WORD event, WORD error);
    void TryNextAddress(int lastError);
    void OnAttemptTimeout();
    void Fail(int error);

    SocketEventSink* events_ = nullptr;
    UniqueSocket socket_;
    SocketProtocol protocol_ = SocketProtocol::Tcp;
    std::string host_;
    uint16_t port_ = 0;
    SocketState state_ = SocketState::Closed;
    unsigned generation_ = 0;  // bumped by Close; stale resolver answers are dropped
    std::shared_ptr<ResolverAnswers> resolved_ = std::make_shared<ResolverAnswers>();
    std::vector<sockaddr_storage> addresses_;
    size_t nextAddress_ = 0;
    bool winsockStarted_ = false;
};
