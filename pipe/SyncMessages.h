#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// What a program asks of the time service: one synchronisation run against
// one server of the list, with the options the window would use. The
// service never takes a time from a request, only where to ask for one.
//
// On the pipe it is four lines of text, each ending in LF, in this order:
//   veltrano-sync 1
//   server HOST|ADDRESS
//   options USE-ADDRESS PROTOCOL OFFSET BY   (0 or 1, time, ntp or nts, minutes, user or auto)
//   end
// and nothing after. Anything else is malformed.
struct SyncRequest {
    std::string host, address;
    bool useAddress = false;
    bool ntp = false;
    int32_t offsetMinutes = 0;
    // A run nobody watches is held to the smaller corrections, there too.
    bool automatic = false;
    // NTP with Network Time Security; ntp is set too.
    bool nts = false;
    bool operator==(const SyncRequest&) const = default;
};

// No request is longer; the service reads no more than this.
inline constexpr size_t kMaxRequestBytes = 600;

std::string FormatRequest(const SyncRequest& request);
std::optional<SyncRequest> ParseRequest(std::string_view bytes);
// True once bytes read so far hold a whole request, or more than any may
// be: the service reads no further then.
bool RequestEnded(std::string_view bytes);

// What the service did with a request, in the same kind of four lines:
//   veltrano-sync 1
//   result set|failed|refused|busy
//   text STATUS-LINE      (the run's own text; for refused, why)
//   end
// busy: the service has too much to do now; the client may ask again later.
struct SyncReply {
    enum class Result { Set, Failed, Refused, Busy };
    Result result = Result::Refused;
    std::string text;
    bool operator==(const SyncReply&) const = default;
};
inline constexpr size_t kMaxReplyBytes = 1024;
std::string FormatReply(const SyncReply& reply);
std::optional<SyncReply> ParseReply(std::string_view bytes);
// As RequestEnded, for a reply: the client reads no further then.
bool ReplyEnded(std::string_view bytes);
