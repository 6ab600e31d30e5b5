#include "service/SyncRequest.h"

#include <algorithm>

#include "settings/Offsets.h"

namespace {

// The first line of list that the request names, if any.
std::optional<size_t> ListedIndex(const SyncRequest& request, const ServerTable& list) {
    const ServerProtocol protocol = request.nts ? ServerProtocol::Nts
                                    : request.ntp ? ServerProtocol::Ntp
                                                  : ServerProtocol::Time;
    // The chooser's index is 16-bit: a line beyond it cannot be chosen.
    for (size_t i = 0; i < list.size() && i <= INT16_MAX; ++i)
        if (list[i].Host == request.host && list[i].Address == request.address && list.Protocol(i) == protocol)
            return i;
    return std::nullopt;
}

}  // namespace

std::optional<std::string> RefusalOf(const SyncRequest& request, const ServerTable& list) {
    if (!ListedIndex(request, list)) return "not in the service's server list";
    // Anything else would let a client move the clock by what it likes.
    if (std::none_of(kOffsetItems.begin(), kOffsetItems.end(),
                     [&](const OffsetItem& o) { return o.minutes == request.offsetMinutes; }))
        return "not an offset of the offset chooser";
    return std::nullopt;
}
