#include "service/SyncRequest.h"

#include <algorithm>

#include "settings/Offsets.h"

std::optional<size_t> ListedIndex(const SyncRequest& request, const ServerTable& list) {
    const ServerProtocol protocol = request.ntp ? ServerProtocol::Ntp : ServerProtocol::Time;
    // The chooser's index is 16-bit: a line beyond it cannot be chosen.
    for (size_t i = 0; i < list.size() && i <= INT16_MAX; ++i)
        if (list[i].Host == request.host && list[i].Address == request.address && list.Protocol(i) == protocol)
            return i;
    return std::nullopt;
}

std::optional<std::string> RefusalOf(const SyncRequest& request, const ServerTable& list) {
    if (!ListedIndex(request, list)) return "not in the service's server list";
    // Anything else would let a client move the clock by what it likes.
    if (std::none_of(kOffsetItems.begin(), kOffsetItems.end(),
                     [&](const OffsetItem& o) { return o.minutes == request.offsetMinutes; }))
        return "not an offset of the offset chooser";
    return std::nullopt;
}

std::optional<double> QueryPacer::Turn(const std::string& line, bool ntp, double now, double maxWait) const {
    const double spacing = ntp ? kMinNtpSeconds : kMinSeconds;
    double turn = now;
    if (const auto l = lines_.find(line); l != lines_.end()) {
        turn = std::max(turn, l->second.at + spacing);
        if (const auto a = addresses_.find(l->second.reached); a != addresses_.end())
            turn = std::max(turn, a->second + spacing);
    }
    // The next query may go once the oldest that would make it one too many is a minute old.
    if (lastMinute_.size() >= kMaxPerMinute)
        turn = std::max(turn, lastMinute_[lastMinute_.size() - kMaxPerMinute] + 60);
    if (turn - now > maxWait) return std::nullopt;
    return turn;
}

void QueryPacer::Record(const std::string& line, const std::string& reached, double at) {
    std::erase_if(lines_, [at](const auto& l) { return l.second.at + kRememberSeconds < at; });
    std::erase_if(addresses_, [at](const auto& a) { return a.second + kMinNtpSeconds < at; });
    while (!lastMinute_.empty() && lastMinute_.front() + 60 <= at) lastMinute_.pop_front();
    lastMinute_.push_back(at);
    Line& l = lines_[line];
    l.at = at;
    // A query that reached nothing leaves what the line reached before; no
    // empty address is ever shared.
    if (reached.empty()) return;
    l.reached = reached;
    addresses_[reached] = at;
}
