#pragma once
#include <cstdint>
#include <string>

#include "platform/Controls.h"
#include "serverlist/ServerEntry.h"

// The chooser's index is a 16-bit number and so is its count of items: it
// offers the first 32767 entries, and lines past them stay out of reach.
inline constexpr int32_t kMaxChooserItems = 32767;

// Host, then " (address) " when there is an address, then " - " and the
// description, each field exactly as it stands.
std::string ServerDisplayText(const ServerEntry& entry);

// Rebuilds the items from the table, item i for entry i. Selects nothing.
void FillServerChooser(const ServerTable& table, ChooserList& cmbServer);
