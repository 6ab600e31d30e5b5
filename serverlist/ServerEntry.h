#pragma once
#include <string>
#include <vector>

// How a server is asked: the Time Protocol (TCP port 37) unless its line
// says "ntp".
enum class ServerProtocol { Time, Ntp };

struct ServerEntry {
    std::string Host;
    std::string Address;
    std::string Description;
    ServerProtocol Protocol = ServerProtocol::Time;
};

// Index i is item i of the server chooser.
using ServerTable = std::vector<ServerEntry>;
