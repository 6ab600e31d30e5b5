#pragma once
#include <string>
#include <vector>

// The addresses of this computer's own network interfaces, numeric text
// ("192.0.2.7", "fe80::1"), read afresh on each call: a laptop's change
// with every network it joins.
class MachineAddresses {
public:
    virtual ~MachineAddresses() = default;
    virtual std::vector<std::string> List() const = 0;
};
