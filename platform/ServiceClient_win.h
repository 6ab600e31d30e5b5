#pragma once
#include "platform/ServiceClient.h"
#include "platform/UniqueHandle_win.h"

class Win32ServiceClient final : public ServiceClient {
public:
    explicit Win32ServiceClient(const char* pipeName) : pipeName_(pipeName) {}
    Sent Send(std::string_view request) override;
    std::optional<std::string> Reply() override;
    void Close() override;

private:
    const char* pipeName_;
    UniqueKernelHandle pipe_;
    std::string received_;
};
