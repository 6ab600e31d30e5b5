#pragma once
#include <cstdint>
#include <string>

// Only text values are ever written; the number is Windows' REG_SZ.
enum class RegistryValueType : uint32_t { String = 1 };

// Machine-wide registry writes (the autorun entry). Texts are UTF-8.
class Registry {
public:
    virtual ~Registry() = default;
    // Opens keyPath under HKEY_LOCAL_MACHINE for setting values, never
    // creating it, writes the value and closes the key. A key that cannot be
    // opened, usually for want of rights, means nothing is written; no
    // failure is reported.
    virtual void StoreRegistryValue(const std::string& keyPath, const std::string& valueName,
                                    const std::string& data, RegistryValueType type) = 0;
};
