#include "platform/Registry_win.h"
#include "platform/UniqueHandle_win.h"
#include "platform/WideText_win.h"

namespace {

HKEY RootKey(RegistryRoot root) {
    return root == RegistryRoot::LocalMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
}

// KEY_SET_VALUE alone, which also deletes values: a user who may set a Run
// value but not read the key still gets the entry.
LSTATUS OpenForSetting(RegistryRoot root, const std::string& keyPath, UniqueHkey& key) {
    HKEY raw = nullptr;
    const LSTATUS status = RegOpenKeyExW(RootKey(root), WideFromUtf8(keyPath).c_str(), 0, KEY_SET_VALUE, &raw);
    key.reset(raw);
    return status;
}

}  // namespace

bool Win32Registry::MayWrite(RegistryRoot root, const std::string& keyPath) {
    UniqueHkey key;
    return OpenForSetting(root, keyPath, key) == ERROR_SUCCESS;
}

bool Win32Registry::StoreRegistryValue(RegistryRoot root, const std::string& keyPath, const std::string& valueName,
                                       const std::string& data, RegistryValueType type) {
    HKEY raw = nullptr;
    if (RegCreateKeyExW(RootKey(root), WideFromUtf8(keyPath).c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &raw,
                        nullptr) != ERROR_SUCCESS)
        return false;
    const UniqueHkey key(raw);
    // Stored as UTF-16, as Windows keeps it, so that a path in any script
    // survives. The size counts the NUL: the empty text is one NUL.
    const std::wstring wide = WideFromUtf8(data);
    return RegSetValueExW(key.get(), WideFromUtf8(valueName).c_str(), 0, static_cast<DWORD>(type),
                          reinterpret_cast<const BYTE*>(wide.c_str()),
                          static_cast<DWORD>((wide.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

bool Win32Registry::DeleteRegistryValue(RegistryRoot root, const std::string& keyPath, const std::string& valueName) {
    UniqueHkey key;
    const LSTATUS opened = OpenForSetting(root, keyPath, key);
    if (opened == ERROR_FILE_NOT_FOUND) return true;
    if (opened != ERROR_SUCCESS) return false;
    const LSTATUS deleted = RegDeleteValueW(key.get(), WideFromUtf8(valueName).c_str());
    return deleted == ERROR_SUCCESS || deleted == ERROR_FILE_NOT_FOUND;
}
