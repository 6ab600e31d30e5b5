#pragma once
#include <optional>
#include <string>

#include "pipe/SyncMessages.h"
#include "serverlist/ServerEntry.h"

// The name the service runs under; its pipe's name changes with every start
// (platform/ServiceClient.h).
inline constexpr const char* kServiceName = "VeltranoTime";
// The switch that starts the program's exe as the service.
inline constexpr const char* kServiceSwitch = "/service";

// Why the service will not run a well-formed request, or nothing when it
// will: the server must be a line of the service's own list (host, address
// and protocol alike) and the offset one the offset chooser offers.
std::optional<std::string> RefusalOf(const SyncRequest& request, const ServerTable& list);
