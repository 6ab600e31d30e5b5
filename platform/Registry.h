#pragma once
#include <cstdint>
#include <string>

// Only text values are ever written; the number is Windows' REG_SZ.
enum class RegistryValueType : uint32_t { String = 1 };

// HKEY_LOCAL_MACHINE, whose values count for every user and which usually
// only an administrator's elevated program may write, and HKEY_CURRENT_USER.
enum class RegistryRoot { LocalMachine, CurrentUser };

// The registry writes of the autorun entry. Texts are UTF-8.
class Registry {
public:
    virtual ~Registry() = default;
    // Whether keyPath under root opens for setting values; never creates it.
    virtual bool MayWrite(RegistryRoot root, const std::string& keyPath) = 0;
    // Writes the value, creating keyPath when it is missing. True once stored.
    virtual bool StoreRegistryValue(RegistryRoot root, const std::string& keyPath, const std::string& valueName,
                                    const std::string& data, RegistryValueType type) = 0;
    // True when the value is not there afterwards, whether or not it was before.
    virtual bool DeleteRegistryValue(RegistryRoot root, const std::string& keyPath, const std::string& valueName) = 0;
};
