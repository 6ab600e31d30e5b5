#include "serverlist/ServerChooser.h"

#include <algorithm>

std::string ServerDisplayText(const ServerEntry& entry) {
    std::string text = entry.Host;
    if (!entry.Address.empty()) text += " (" + entry.Address + ") ";
    text += " - ";
    text += entry.Description;
    return text;
}

void FillServerChooser(const ServerTable& table, ChooserList& cmbServer) {
    cmbServer.Clear();
    const size_t shown = std::min(table.size(), static_cast<size_t>(kMaxChooserItems));
    for (size_t i = 0; i < shown; ++i) cmbServer.AddItem(ServerDisplayText(table[i]));
}
