#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <regex>
#include <thread>

#include "platform/EventPump.h"
#include "platform/ServicePipe_win.h"

namespace {

bool WaitFor(const std::function<bool()>& cond, DWORD timeoutMs) {
    for (const DWORD start = GetTickCount(); !cond(); Sleep(20))
        if (GetTickCount() - start > timeoutMs) return false;
    return true;
}

// A client of the pipe as any process could be one: connects, sends what it
// likes, and reads what comes until the server lets go.
struct Client {
    HANDLE h = INVALID_HANDLE_VALUE;
    explicit Client(const std::string& name, const std::string& bytes = {}) {
        WaitFor([&] {
            h = CreateFileA(name.c_str(), GENERIC_READ | FILE_WRITE_DATA, 0, nullptr, OPEN_EXISTING, 0, nullptr);
            return h != INVALID_HANDLE_VALUE || GetLastError() != ERROR_PIPE_BUSY;
        }, 2000);
        DWORD n = 0;
        if (!bytes.empty()) WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr);
    }
    ~Client() { CloseHandle(h); }
    // Everything it got, once the server ended the reply or let go.
    std::string Received(DWORD timeoutMs) {
        std::string got;
        WaitFor([&] {
            DWORD waiting = 0, n = 0;
            char buf[256];
            if (!PeekNamedPipe(h, nullptr, 0, nullptr, &waiting, nullptr)) return true;
            if (waiting && ReadFile(h, buf, std::min<DWORD>(waiting, sizeof buf), &n, nullptr)) got.append(buf, n);
            return got.ends_with("\n");
        }, timeoutMs);
        return got;
    }
};

// ServeRequests on a pipe of its own, answering "ran" after answerMs.
struct Server {
    struct NoPump final : EventPump {
        void PumpPendingEvents() override {}
    } pump;
    const std::string name = RandomServicePipeName();
    ServicePipe pipe;
    PipeRequests requests;
    HANDLE stop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::string user;  // the last one named to the answer
    bool stopped = false;
    std::thread thread;

    Server(const PipeLimits& limits, DWORD answerMs) : pipe(name, limits.instances) {
        requests = {64, [](std::string_view b) { return b.ends_with("\n"); },
                    [this, answerMs](std::string_view, const std::string& who) {
                        Sleep(answerMs);
                        user = who;
                        return std::string("ran\n");
                    }, "busy\n", "refused\n"};
        thread = std::thread([this, limits] {
            DWORD error = 0;
            stopped = ServeRequests(pipe, requests, limits, stop, pump, error);
        });
    }
    ~Server() {
        SetEvent(stop);
        const DWORD start = GetTickCount();
        thread.join();
        EXPECT_TRUE(stopped);
        EXPECT_LT(GetTickCount() - start, 1500u) << "a stop waits for no client";
        CloseHandle(stop);
    }
};

TEST(ServicePipe, OverALimitAClientIsToldBusyWhileTheRunGoesOn) {
    struct Case {
        const char* what;
        size_t perUser, waiting;
        DWORD startWithinMs, answerMs;
        const char* replies[3];
    } const cases[] = {
        {"a user's third request", 2, 6, 12000, 600, {"ran\n", "ran\n", "busy\n"}},
        {"a second request waiting", 9, 1, 12000, 600, {"ran\n", "ran\n", "busy\n"}},
        {"turns that would come too late", 9, 6, 300, 900, {"ran\n", "busy\n", "busy\n"}},
    };
    for (const Case& c : cases) {
        Server server({8, 1000, 5000, c.perUser, c.waiting, c.startWithinMs}, c.answerMs);
        std::vector<std::unique_ptr<Client>> clients;
        const DWORD start = GetTickCount();
        for (int i = 0; i < 3; ++i, Sleep(100)) clients.push_back(std::make_unique<Client>(server.name, "sync\n"));
        for (int i = 2; i >= 0; --i) {
            EXPECT_EQ(clients[i]->Received(3000), c.replies[i]) << c.what << ", client " << i;
            if (c.replies[i] == std::string("busy\n")) {
                EXPECT_LT(GetTickCount() - start, c.answerMs) << c.what;
            }
        }
    }
}

TEST(ServicePipe, ASlowClientIsCutOffWithNothingAndItsAccountIsNamed) {
    const struct {
        const char* sends;
        DWORD cutAfterMs;
    } cases[] = {{"", 400}, {"half a request", 1200}};
    Server server({2, 400, 1200, 2, 6, 12000}, 0);
    for (const auto& c : cases) {
        const DWORD start = GetTickCount();
        Client slow(server.name, c.sends);
        EXPECT_EQ(slow.Received(3000), "") << c.sends;
        EXPECT_NEAR(double(GetTickCount() - start), c.cutAfterMs, 250.0) << c.sends;
    }
    EXPECT_EQ(Client(server.name, "sync\n").Received(3000), "ran\n");
    EXPECT_TRUE(std::regex_match(server.user, std::regex(R"(.+\\.+ \(S-1-5-[0-9-]+, session [0-9]+\))")))
        << server.user;
}

}  // namespace
