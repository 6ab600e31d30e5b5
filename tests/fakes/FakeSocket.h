#pragma once
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "platform/EventPump.h"
#include "platform/Socket.h"

// A scripted server. Each Connect takes the next script from `servers`; each
// pump of events delivers that script's next piece, as Winsock would deliver
// one notification per message. An empty piece is the server closing.
class FakeSocket final : public ClientSocket {
public:
    using Script = std::deque<std::string>;
    std::deque<Script> servers;
    std::vector<std::string> connectedTo;
    SocketProtocol protocol = SocketProtocol::Tcp;
    std::vector<std::string> sent;
    // The server's datagram in answer to each one sent.
    std::function<std::string(const std::string&)> answer;

    void SetEvents(SocketEventSink* e) { events_ = e; }
    SocketState State() const override { return state_; }
    void Close() override { state_ = SocketState::Closed, script_.clear(), pending_.clear(); }
    void SetProtocol(SocketProtocol p) override { protocol = p; }
    void SetRemoteHost(const std::string& h) override { host_ = h; }
    void SetRemotePort(uint16_t) override {}
    std::optional<SocketError> Connect() override {
        connectedTo.push_back(host_);
        state_ = SocketState::Connecting;
        script_ = servers.empty() ? Script{} : std::move(servers.front());
        if (!servers.empty()) servers.pop_front();
        return std::nullopt;
    }
    std::optional<SocketError> SendData(std::string_view d) override {
        sent.emplace_back(d);
        if (answer) script_.push_back(answer(sent.back()));
        return std::nullopt;
    }
    std::string GetData() override { return std::exchange(pending_, std::string()); }
    // The address a connection reaches: the one a test gives, else the name asked.
    std::string PeerAddress() const override {
        return state_ == SocketState::Closed ? std::string() : peerAddress.empty() ? host_ : peerAddress;
    }
    std::string peerAddress;

    void DeliverOne() {
        if (!events_) return;
        if (protocol == SocketProtocol::Udp && state_ == SocketState::Connecting)
            return state_ = SocketState::Connected, events_->Winsock1_Connect();
        if (script_.empty()) return;
        const std::string piece = std::move(script_.front());
        script_.pop_front();
        if (piece.empty()) return state_ = SocketState::PeerClosing, events_->Winsock1_Close();
        state_ = SocketState::Connected, pending_ += piece;
        events_->Winsock1_DataArrival(static_cast<int32_t>(pending_.size()));
    }

private:
    SocketEventSink* events_ = nullptr;
    SocketState state_ = SocketState::Closed;
    std::string host_, pending_;
    Script script_;
};

// Pumping delivers socket events, then whatever else the test hooks in.
struct FakePump final : EventPump {
    explicit FakePump(FakeSocket& s) : socket(s) {}
    void PumpPendingEvents() override { socket.DeliverOne(), hook ? hook() : void(); }
    FakeSocket& socket;
    std::function<void()> hook;
};
