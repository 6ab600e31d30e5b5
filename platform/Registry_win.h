#pragma once
#include <windows.h>

#include <string>

#include "platform/Registry.h"

class Win32Registry final : public Registry {
public:
    void StoreRegistryValue(const std::string& keyPath, const std::string& valueName, const std::string& data,
                            RegistryValueType type) override;
};
