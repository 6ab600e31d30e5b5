#pragma once
#include <string>
#include <utility>

#include "platform/ServiceClient.h"
#include "platform/UniqueHandle_win.h"

// Reads the pipe's name from the registry at each Send, and talks only to a
// pipe that LocalService owns and that the running service's own process
// serves.
class Win32ServiceClient final : public ServiceClient {
public:
    // serviceName: the service whose process must serve the pipe. A reply is
    // taken once replyEnded says so; no more than maxReplyBytes + 1 bytes of
    // it are ever kept, so that its reader can still tell one too long.
    Win32ServiceClient(std::string serviceName, size_t maxReplyBytes, bool (*replyEnded)(std::string_view bytes))
        : serviceName_(std::move(serviceName)), maxReplyBytes_(maxReplyBytes), replyEnded_(replyEnded) {}
    Sent Send(std::string_view request) override;
    std::optional<std::string> Reply() override;
    void Close() override;

private:
    const std::string serviceName_;
    const size_t maxReplyBytes_;
    bool (*const replyEnded_)(std::string_view bytes);
    UniqueKernelHandle pipe_;
    std::string received_;
};

// The name the running service published, or nothing when it published none
// that is its kind of name.
std::optional<std::string> PublishedServicePipe();
