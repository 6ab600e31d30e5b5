#pragma once
#include "platform/MachineAddresses.h"

// From GetAdaptersAddresses, every unicast address of every interface, up or
// not: an interface that comes up a moment later is this computer all the same.
class Win32MachineAddresses final : public MachineAddresses {
public:
    std::vector<std::string> List() const override;
};
