#pragma once
#include <cstdint>
#include <optional>
#include <string>

// A Windows Sockets error code (10061 refused, 11001 unknown host, ...) with
// the system's own description of it.
struct SocketError {
    int32_t number = 0;
    std::string description;
};

// Receives the socket's events on the user-interface thread, while pending
// events are let through.
class SocketEvents {
public:
    virtual ~SocketEvents() = default;
    virtual void Winsock1_DataArrival(int32_t bytesTotal) = 0;
    virtual void Winsock1_Close() = 0;
    virtual void Winsock1_Error(int32_t number, const std::string& description) = 0;
};

// The Winsock control's State values that a client goes through, numbered as
// that control numbers them. Closed until Connect, and again after Close.
enum class SocketState { Closed = 0, Resolving = 4, Connecting = 6, Connected = 7, PeerClosing = 8, Error = 9 };

// A TCP client with just the members the synchronisation run relies on.
class TcpClient {
public:
    virtual ~TcpClient() = default;
    virtual SocketState State() const = 0;
    virtual void Close() = 0;
    virtual void SetRemoteHost(const std::string& host) = 0;
    virtual void SetRemotePort(uint16_t port) = 0;
    // Returns at once; the outcome arrives as events. Returns the error only
    // when the connect cannot even be started.
    virtual std::optional<SocketError> Connect() = 0;
    // The waiting bytes, one character per byte. Reads at most a bounded
    // chunk per call; the rest is announced by a further DataArrival.
    virtual std::string GetData() = 0;
};
