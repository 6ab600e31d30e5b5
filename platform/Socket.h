#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// A Windows Sockets error code (10061 refused, 11001 unknown host, ...) with
// the system's own description of it.
struct SocketError {
    int32_t number = 0;
    std::string description;
};

// Receives the socket's events on the user-interface thread, while pending
// events are let through.
class SocketEventSink {
public:
    virtual ~SocketEventSink() = default;
    // The socket can send: a TCP connection was accepted, or a UDP socket
    // was tied to the server's address.
    virtual void Winsock1_Connect() = 0;
    virtual void Winsock1_DataArrival(int32_t bytesTotal) = 0;
    virtual void Winsock1_Close() = 0;
    virtual void Winsock1_Error(int32_t number, const std::string& description) = 0;
};

// The Winsock control's State values that a client goes through, numbered as
// that control numbers them. Closed until Connect, and again after Close.
enum class SocketState { Closed = 0, Resolving = 4, Connecting = 6, Connected = 7, PeerClosing = 8, Error = 9 };

enum class SocketProtocol { Tcp, Udp };

// A client socket with just the members the synchronisation run relies on:
// a TCP connection, or a UDP socket connected to one address of the server,
// so that datagrams from any other address never reach the run.
class ClientSocket {
public:
    virtual ~ClientSocket() = default;
    virtual SocketState State() const = 0;
    virtual void Close() = 0;
    // Taken by the next Connect.
    virtual void SetProtocol(SocketProtocol protocol) = 0;
    virtual void SetRemoteHost(const std::string& host) = 0;
    virtual void SetRemotePort(uint16_t port) = 0;
    // Returns at once; the outcome arrives as events. Returns the error only
    // when the connect cannot even be started.
    virtual std::optional<SocketError> Connect() = 0;
    // Once connected: one datagram, or bytes on the connection.
    virtual std::optional<SocketError> SendData(std::string_view bytes) = 0;
    // The waiting bytes, one character per byte: at most a bounded chunk of
    // a connection, the rest announced by a further DataArrival, or exactly
    // one datagram.
    virtual std::string GetData() = 0;
    // The numeric address of the server the socket is tied to ("192.0.2.1",
    // "::1"), as Windows reports it once connected; empty before that.
    virtual std::string PeerAddress() const = 0;
};
