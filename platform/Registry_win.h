#pragma once
#include <windows.h>

#include <string>

#include "platform/Registry.h"

class Win32Registry final : public Registry {
public:
    void StoreRegistryValue(const std::string& keyPath, const std::string& valueName, const std::string& data,
                            RegistryValueType type) override;
};

// Writes data, UTF-8, with its NUL into an open key.
// Returns the status code from Windows.
LONG PutRegistryValue(HKEY key, const std::string& valueName, RegistryValueType type, const std::string& data);
