#pragma once
#include <string>
#include <vector>

struct ServerEntry {
    std::string Host;
    std::string Address;
    std::string Description;
};

// Index i is item i of the server chooser.
using ServerTable = std::vector<ServerEntry>;
