#include "platform/UniqueHandle_win.h"
#include "platform/Win32Registry.h"

LONG PutRegistryValue(HKEY key, const std::string& valueName, RegistryValueType type, const std::string& data) {
    // The size counts the NUL: the empty text is stored as one NUL byte.
    return RegSetValueExA(key, valueName.c_str(), 0, static_cast<DWORD>(type),
                          reinterpret_cast<const BYTE*>(data.c_str()), static_cast<DWORD>(data.size() + 1));
}

void Win32Registry::StoreRegistryValue(const std::string& keyPath, const std::string& valueName,
                                       const std::string& data, RegistryValueType type) {
    HKEY raw = nullptr;
    // KEY_SET_VALUE alone: a user who may set a Run value but not read the
    // key still gets the entry.
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, KEY_SET_VALUE, &raw) != ERROR_SUCCESS) return;
    UniqueHkey hkey(raw);
    PutRegistryValue(hkey.get(), valueName, type, data);
}
