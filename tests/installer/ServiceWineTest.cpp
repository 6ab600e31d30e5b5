#include <windows.h>

#include <gtest/gtest.h>
#include <sddl.h>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <regex>
#include <thread>

#include "LoopbackPlan.h"
#include "platform/EventPump.h"
#include "platform/ServiceClient_win.h"
#include "platform/ServicePipe_win.h"
#include "resources/Messages.h"
#include "service/SyncRequest.h"

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

// The whole reply of the installed service through the program's own client.
std::optional<SyncReply> Ask(const std::string& request) {
    Win32ServiceClient client(kServiceName, kMaxReplyBytes, ReplyEnded);
    if (client.Send(request) != ServiceClient::Sent::Sent) return std::nullopt;
    std::optional<std::string> bytes;
    WaitFor([&] { return (bytes = client.Reply()).has_value(); }, 10000);
    return bytes ? ParseReply(*bytes) : std::nullopt;
}

bool Succeeds(std::wstring commandLine) {
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    DWORD code = 1;
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return false;
    const bool ended = WaitForSingleObject(pi.hProcess, 60000) == WAIT_OBJECT_0;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hProcess), CloseHandle(pi.hThread);
    return ended && code == 0;
}

void Publish(const std::string& name) {
    RegSetKeyValueA(HKEY_LOCAL_MACHINE, kServiceKey, kServicePipeValue, REG_SZ, name.c_str(),
                    static_cast<DWORD>(name.size() + 1));
}

// A pipe of this process's own, guarded as the service guards its own.
HANDLE Impostor(const std::string& name) {
    PSECURITY_DESCRIPTOR sd = nullptr;
    ConvertStringSecurityDescriptorToSecurityDescriptorA(kServicePipeSddl, SDDL_REVISION_1, &sd, nullptr);
    SECURITY_ATTRIBUTES sa{sizeof sa, sd, FALSE};
    const HANDLE pipe = CreateNamedPipeA(name.c_str(), PIPE_ACCESS_DUPLEX, 0, 1, 4096, 4096, 0, &sa);
    LocalFree(sd);
    return pipe;
}

TEST(ServiceHost, AnswersPastSilentClientsAndSquattersAndNoOtherPipeIsTakenForIt) {
    const wchar_t* setupOverride = _wgetenv(L"VELTRANO_SETUP");
    const std::wstring setup = setupOverride ? setupOverride : VELTRANO_SETUP,
                       dir = _wgetenv(L"ProgramFiles") + std::wstring(L"\\Veltrano\\");
    ASSERT_TRUE(Succeeds(L"\"" + setup + L"\" /S")) << "made by scripts/package.sh?";
    // Taken away however the test ends. The uninstaller goes on from a copy
    // of itself and takes its entry away last.
    struct Uninstall {
        const std::wstring& dir;
        ~Uninstall() {
            EXPECT_TRUE(Succeeds(L"\"" + dir + L"uninstall.exe\" /S"));
            const char* entry = R"(Software\Microsoft\Windows\CurrentVersion\Uninstall\Veltrano)";
            EXPECT_TRUE(WaitFor([&] {
                return RegGetValueA(HKEY_LOCAL_MACHINE, entry, "DisplayName", RRF_RT_ANY, nullptr, nullptr,
                                    nullptr) != ERROR_SUCCESS;
            }, 30000));
        }
    } uninstall{dir};
    const SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
    const SC_HANDLE service = OpenServiceA(manager, kServiceName, SERVICE_START | SERVICE_STOP | SERVICE_QUERY_STATUS);
    const auto serving = [&] {
        SERVICE_STATUS status{};
        return QueryServiceStatus(service, &status) && status.dwCurrentState == SERVICE_RUNNING &&
               PublishedServicePipe();
    };
    ASSERT_TRUE(WaitFor(serving, 10000));

    // The Event Viewer's text for each severity is the entry's own.
    const HMODULE exe = LoadLibraryExW((dir + L"Veltrano.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    EXPECT_TRUE(FindResourceA(exe, MAKEINTRESOURCEA(1), RT_MESSAGETABLE));
    for (const DWORD id : {MSG_SERVICE_INFORMATION, MSG_SERVICE_ERROR}) {
        const wchar_t* text = L"The system clock was changed";
        DWORD_PTR args[] = {reinterpret_cast<DWORD_PTR>(text)};
        wchar_t shown[128] = {};
        FormatMessageW(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_ARGUMENT_ARRAY, exe, id, 0, shown, 128,
                       reinterpret_cast<va_list*>(args));
        EXPECT_EQ(std::wstring(shown).substr(0, 28), text) << id;
    }
    FreeLibrary(exe);

    const std::string name = PublishedServicePipe().value_or("");
    EXPECT_TRUE(std::regex_match(name, std::regex(R"(\\\\\.\\pipe\\Veltrano\.TimeService\.[0-9a-f]{32})"))) << name;
    const std::string unlisted = FormatRequest({"unlisted.invalid", loopback::kNobody, false, false});
    {
        std::atomic<bool> done = false;
        std::vector<std::thread> silent;
        for (int i = 0; i < 4; ++i)
            silent.emplace_back([&] {
                while (!done) Client(name).Received(3000);
            });
        Sleep(1500);
        const std::optional<SyncReply> reply = Ask(unlisted);
        done = true;
        for (std::thread& t : silent) t.join();
        ASSERT_TRUE(reply) << "no reply past four silent clients";
        EXPECT_EQ(reply->result, SyncReply::Result::Refused) << reply->text;
    }

    const std::string other = std::string(kServicePipePrefix) + std::string(32, '0');
    const HANDLE impostor = Impostor(other);
    Publish(other);
    EXPECT_EQ(Win32ServiceClient(kServiceName, kMaxReplyBytes, ReplyEnded).Send(unlisted),
              ServiceClient::Sent::NoService);
    CloseHandle(impostor);
    Publish(name);

    // Stopped, the service withdraws its name; whoever then takes the names
    // it has had keeps it from nothing.
    SERVICE_STATUS status{};
    ASSERT_TRUE(ControlService(service, SERVICE_CONTROL_STOP, &status));
    const auto stopped = [&] {
        return QueryServiceStatus(service, &status) && status.dwCurrentState == SERVICE_STOPPED;
    };
    EXPECT_TRUE(WaitFor(stopped, 10000));
    EXPECT_FALSE(PublishedServicePipe());
    const HANDLE squatters[] = {Impostor(R"(\\.\pipe\Veltrano.TimeService)"), Impostor(name)};
    ASSERT_TRUE(StartServiceA(service, 0, nullptr));
    EXPECT_TRUE(WaitFor(serving, 10000));
    EXPECT_NE(PublishedServicePipe(), name);
    EXPECT_TRUE(Ask(unlisted)) << "no reply from the restarted service";
    for (const HANDLE squatter : squatters) CloseHandle(squatter);

    CloseServiceHandle(service);
    CloseServiceHandle(manager);
}

}  // namespace
