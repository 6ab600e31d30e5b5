#include "platform/Registry_win.h"
#include "platform/UniqueHandle_win.h"
#include "platform/WideText_win.h"

void Win32Registry::StoreRegistryValue(const std::string& keyPath, const std::string& valueName,
                                       const std::string& data, RegistryValueType type) {
    HKEY raw = nullptr;
    // KEY_SET_VALUE alone: a user who may set a Run value but not read the
    // key still gets the entry.
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, WideFromUtf8(keyPath).c_str(), 0, KEY_SET_VALUE, &raw) != ERROR_SUCCESS)
        return;
    UniqueHkey hkey(raw);
    // Stored as UTF-16, as Windows keeps it, so that a path in any script
    // survives. The size counts the NUL: the empty text is one NUL.
    const std::wstring wide = WideFromUtf8(data);
    RegSetValueExW(hkey.get(), WideFromUtf8(valueName).c_str(), 0, static_cast<DWORD>(type),
                   reinterpret_cast<const BYTE*>(wide.c_str()),
                   static_cast<DWORD>((wide.size() + 1) * sizeof(wchar_t)));
}
