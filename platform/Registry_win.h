#pragma once
#include <windows.h>

#include <string>

#include "platform/Registry.h"

class Win32Registry final : public Registry {
public:
    bool MayWrite(RegistryRoot root, const std::string& keyPath) override;
    bool StoreRegistryValue(RegistryRoot root, const std::string& keyPath, const std::string& valueName,
                            const std::string& data, RegistryValueType type) override;
    bool DeleteRegistryValue(RegistryRoot root, const std::string& keyPath, const std::string& valueName) override;
};
