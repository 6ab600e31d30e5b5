#include "pipe/SyncMessages.h"

#include <algorithm>

namespace {

constexpr std::string_view kHeader = "veltrano-sync 1";
constexpr size_t kMaxNameLength = 255;  // the longest DNS name

// Names of hosts and addresses, IPv6 included: nothing that could end a
// field or a line, or mean anything to a shell or a log.
bool IsName(std::string_view s) {
    return !s.empty() && s.size() <= kMaxNameLength && std::all_of(s.begin(), s.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '-' ||
               c == '_' || c == ':';
    });
}

// Takes the next line, without its LF; false when there is none.
bool NextLine(std::string_view& rest, std::string_view& line) {
    const size_t end = rest.find('\n');
    if (end == std::string_view::npos) return false;
    line = rest.substr(0, end);
    rest.remove_prefix(end + 1);
    return true;
}

bool StartsWith(std::string_view s, std::string_view prefix) { return s.substr(0, prefix.size()) == prefix; }

// Whole, or longer than any message of its kind may be.
bool Ended(std::string_view bytes, size_t maxBytes) {
    return bytes.size() > maxBytes || bytes == "end\n" || bytes.ends_with("\nend\n");
}

}  // namespace

std::string FormatRequest(const SyncRequest& r) {
    const char* protocol = r.nts ? " nts " : r.ntp ? " ntp " : " time ";
    return std::string(kHeader) + "\nserver " + r.host + "|" + r.address + "\noptions " + (r.useAddress ? "1" : "0") +
           protocol + std::to_string(r.offsetMinutes) + (r.automatic ? " auto" : " user") + "\nend\n";
}

bool RequestEnded(std::string_view bytes) { return Ended(bytes, kMaxRequestBytes); }

bool ReplyEnded(std::string_view bytes) { return Ended(bytes, kMaxReplyBytes); }

std::optional<SyncRequest> ParseRequest(std::string_view bytes) {
    if (bytes.size() > kMaxRequestBytes) return std::nullopt;
    std::string_view header, server, options, end;
    if (!NextLine(bytes, header) || !NextLine(bytes, server) || !NextLine(bytes, options) || !NextLine(bytes, end) ||
        header != kHeader || end != "end" || !bytes.empty() || !StartsWith(server, "server ") ||
        !StartsWith(options, "options "))
        return std::nullopt;

    server.remove_prefix(7);
    const size_t bar = server.find('|');
    if (bar == std::string_view::npos) return std::nullopt;
    SyncRequest r{std::string(server.substr(0, bar)), std::string(server.substr(bar + 1))};
    // Either may be empty, as in the list, but not both.
    if ((!r.host.empty() && !IsName(r.host)) || (!r.address.empty() && !IsName(r.address)) ||
        (r.host.empty() && r.address.empty()))
        return std::nullopt;

    options.remove_prefix(8);
    if (options.size() < 2 || (options[0] != '0' && options[0] != '1') || options[1] != ' ') return std::nullopt;
    r.useAddress = options[0] == '1';
    options.remove_prefix(2);
    if (StartsWith(options, "ntp ")) r.ntp = true, options.remove_prefix(4);
    else if (StartsWith(options, "nts ")) r.ntp = r.nts = true, options.remove_prefix(4);
    else if (StartsWith(options, "time ")) options.remove_prefix(5);
    else return std::nullopt;
    if (options.ends_with(" auto")) r.automatic = true, options.remove_suffix(5);
    else if (options.ends_with(" user")) options.remove_suffix(5);
    else return std::nullopt;
    // A number as FormatRequest writes one: a sign only when negative, no
    // leading zero, at most four digits.
    const bool negative = StartsWith(options, "-");
    if (negative) options.remove_prefix(1);
    if (options.empty() || options.size() > 4 || (options[0] == '0' && (options.size() > 1 || negative)) ||
        !std::all_of(options.begin(), options.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    for (char c : options) r.offsetMinutes = r.offsetMinutes * 10 + (c - '0');
    if (negative) r.offsetMinutes = -r.offsetMinutes;
    return r;
}

std::string FormatReply(const SyncReply& reply) {
    static constexpr const char* kResults[] = {"set", "failed", "refused", "busy"};
    std::string text = reply.text;
    std::replace(text.begin(), text.end(), '\n', ' ');
    return std::string(kHeader) + "\nresult " + kResults[static_cast<int>(reply.result)] + "\ntext " + text +
           "\nend\n";
}

std::optional<SyncReply> ParseReply(std::string_view bytes) {
    if (bytes.size() > kMaxReplyBytes) return std::nullopt;
    std::string_view header, result, text, end;
    if (!NextLine(bytes, header) || !NextLine(bytes, result) || !NextLine(bytes, text) || !NextLine(bytes, end) ||
        header != kHeader || end != "end" || !bytes.empty() || !StartsWith(text, "text "))
        return std::nullopt;
    SyncReply reply{SyncReply::Result::Set, std::string(text.substr(5))};
    if (result == "result failed") reply.result = SyncReply::Result::Failed;
    else if (result == "result refused") reply.result = SyncReply::Result::Refused;
    else if (result == "result busy") reply.result = SyncReply::Result::Busy;
    else if (result != "result set") return std::nullopt;
    return reply;
}
