#pragma once
#include "platform/ServiceClient.h"
#include "platform/UniqueHandle_win.h"

// Reads the pipe's name from the registry at each Send, and talks only to a
// pipe that LocalService owns and that the running VeltranoTime service's
// own process serves.
class Win32ServiceClient final : public ServiceClient {
public:
    Sent Send(std::string_view request) override;
    std::optional<std::string> Reply() override;
    void Close() override;

private:
    UniqueKernelHandle pipe_;
    std::string received_;
};

// The name the running service published, or nothing when it published none
// that is its kind of name.
std::optional<std::string> PublishedServicePipe();
