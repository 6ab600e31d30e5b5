// Stand-ins until TimeService.cpp and the reply's format in SyncRequest.cpp
// land, which replace this file whole (delete it and its two mentions, in
// mainwindow/CMakeLists.txt and tests/installer/CMakeLists.txt): the service
// refuses what it would refuse and fails every other request without a run.
#include "serverlist/ServerList.h"
#include "service/SyncRequest.h"
#include "service/TimeService.h"

bool RequestEnded(std::string_view bytes) {
    return bytes.size() > kMaxRequestBytes || bytes.find("\nend\n") != std::string_view::npos;
}

std::string FormatReply(const SyncReply& reply) {
    const char* result = reply.result == SyncReply::Result::Set      ? "set"
                         : reply.result == SyncReply::Result::Failed ? "failed"
                                                                     : "refused";
    return std::string("veltrano-sync 1\nresult ") + result + "\ntext " + reply.text + "\nend\n";
}

std::optional<SyncReply> ParseReply(std::string_view bytes) {
    SyncReply reply;
    const std::string_view head = "veltrano-sync 1\nresult ";
    if (bytes.substr(0, head.size()) != head || bytes.size() < head.size() + 10) return std::nullopt;
    bytes.remove_prefix(head.size());
    const size_t text = bytes.find("\ntext ");
    const std::string_view result = bytes.substr(0, text);
    if (result == "set") reply.result = SyncReply::Result::Set;
    else if (result == "failed") reply.result = SyncReply::Result::Failed;
    else if (result != "refused" || text == std::string_view::npos) return std::nullopt;
    bytes.remove_prefix(text + 6);
    if (bytes.size() < 5 || bytes.substr(bytes.size() - 5) != "\nend\n") return std::nullopt;
    reply.text = bytes.substr(0, bytes.size() - 5);
    return reply;
}

struct TimeService::Impl final : SocketEvents {
    std::string appFolder;
    void Winsock1_Connect() override {}
    void Winsock1_DataArrival(int32_t) override {}
    void Winsock1_Close() override {}
    void Winsock1_Error(int32_t, const std::string&) override {}
};

TimeService::TimeService(std::string appFolder, ClientSocket&, SystemClock&, EventPump&, EventLog&, SystemTime)
    : impl_(std::make_unique<Impl>()) {
    impl_->appFolder = std::move(appFolder);
}

TimeService::~TimeService() = default;

SocketEvents& TimeService::Events() { return *impl_; }

std::string TimeService::Answer(std::string_view request, const std::string&) {
    ServerTable list;
    LoadServerList(impl_->appFolder, list);
    const std::optional<SyncRequest> parsed = ParseRequest(request);
    const std::optional<std::string> refusal = parsed ? RefusalOf(*parsed, list) : "malformed request";
    if (refusal) return FormatReply({SyncReply::Result::Refused, *refusal});
    return FormatReply({SyncReply::Result::Failed, "no synchronisation in this build"});
}
