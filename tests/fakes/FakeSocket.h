#pragma once
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "platform/EventPump.h"
#include "platform/Socket.h"

// A scripted server. Each Connect takes the next script from `servers`; each
// pump of events delivers that script's next step, as Winsock would deliver
// one notification per message.
class FakeSocket final : public ClientSocket {
public:
    struct Step {
        enum Kind { Data, PeerClose, Error, Connected } kind;
        std::string bytes;
        int32_t number = 0;
    };
    using Script = std::deque<Step>;
    static Step Bytes(std::string b) { return {Step::Data, std::move(b)}; }
    static Step Closed() { return {Step::PeerClose, {}}; }
    static Step Failed(int32_t n) { return {Step::Error, {}, n}; }

    std::deque<Script> servers;
    std::vector<std::string> connectedTo;
    std::optional<SocketError> connectFails;
    int closeCalls = 0;
    uint16_t port = 0;
    SocketProtocol protocol = SocketProtocol::Tcp;
    std::vector<std::string> sent;
    // The server's datagram in answer to each one sent.
    std::function<std::string(const std::string&)> answer;

    void SetEvents(SocketEvents* e) { events_ = e; }
    SocketState State() const override { return state_; }
    void Close() override { ++closeCalls, state_ = SocketState::Closed, script_.clear(), pending_.clear(); }
    void SetProtocol(SocketProtocol p) override { protocol = p; }
    void SetRemoteHost(const std::string& h) override { host_ = h; }
    void SetRemotePort(uint16_t p) override { port = p; }
    std::optional<SocketError> Connect() override {
        if (connectFails) return connectFails;
        connectedTo.push_back(host_);
        state_ = SocketState::Connecting;
        script_ = servers.empty() ? Script{} : std::move(servers.front());
        if (!servers.empty()) servers.pop_front();
        if (protocol == SocketProtocol::Udp) script_.push_front({Step::Connected, {}});  // tied at once
        return std::nullopt;
    }
    std::optional<SocketError> SendData(std::string_view d) override {
        sent.emplace_back(d);
        if (answer) script_.push_back(Bytes(answer(sent.back())));
        return std::nullopt;
    }
    std::string GetData() override { return std::exchange(pending_, std::string()); }

    void DeliverOne() {
        if (script_.empty() || !events_) return;
        const Step s = std::move(script_.front());
        script_.pop_front();
        if (s.kind == Step::Data) {
            state_ = SocketState::Connected, pending_ += s.bytes;
            events_->Winsock1_DataArrival(static_cast<int32_t>(pending_.size()));
        } else if (s.kind == Step::Connected) {
            state_ = SocketState::Connected, events_->Winsock1_Connect();
        } else if (s.kind == Step::PeerClose) {
            state_ = SocketState::PeerClosing, events_->Winsock1_Close();
        } else {
            state_ = SocketState::Error, events_->Winsock1_Error(s.number, "fake failure");
        }
    }

private:
    SocketEvents* events_ = nullptr;
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
