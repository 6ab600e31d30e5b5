#pragma once
#include <memory>
#include <optional>

#include "platform/TlsClient.h"

// TLS 1.3 by Mbed TLS on a blocking Winsock connection in a thread of its
// own, so that the window's thread only polls. The certificate is judged by
// Windows itself (crypt32, loaded from the system folder): its roots, an
// administrator's and Windows Update's included, are the ones that count.
class Win32TlsClient final : public TlsClient {
public:
    // Seconds a connect, a read or a write may take before the exchange fails.
    static constexpr int kTimeoutSeconds = 8;

    Win32TlsClient();
    ~Win32TlsClient() override;

    void Start(TlsRequest request) override;
    std::optional<TlsResult> Result() override;
    void Cancel() override;

    struct Job;

private:
    std::shared_ptr<Job> job_;
};
