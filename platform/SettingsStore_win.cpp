#include <windows.h>

#include "platform/SettingsStore_win.h"
#include "platform/UniqueHandle_win.h"

std::string Win32SettingsStore::KeyPath(const std::string& application, const std::string& section) const {
    return softwareKey_ + "\\" + application + "\\" + section;
}

std::string Win32SettingsStore::Read(const std::string& application, const std::string& section,
                                     const std::string& key, const std::string& defaultText) const {
    HKEY raw = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, KeyPath(application, section).c_str(), 0, KEY_QUERY_VALUE, &raw) !=
        ERROR_SUCCESS)
        return defaultText;
    UniqueHkey hkey(raw);

    // The value may change between asking its size and reading it; a few
    // rounds settle that.
    DWORD type = 0, size = 0;
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (RegQueryValueExA(hkey.get(), key.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
            type != REG_SZ)
            return defaultText;
        std::string data(size, '\0');
        const LONG rc = RegQueryValueExA(hkey.get(), key.c_str(), nullptr, &type,
                                         reinterpret_cast<BYTE*>(data.data()), &size);
        if (rc == ERROR_MORE_DATA) continue;
        if (rc != ERROR_SUCCESS || type != REG_SZ) return defaultText;
        data.resize(size);
        // Stored by others, the text may lack its NUL or carry more than one.
        return data.substr(0, data.find('\0'));
    }
    return defaultText;
}

bool Win32SettingsStore::Write(const std::string& application, const std::string& section, const std::string& key,
                               const std::string& text) {
    HKEY raw = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, KeyPath(application, section).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_SET_VALUE, nullptr, &raw, nullptr) != ERROR_SUCCESS)
        return false;
    UniqueHkey hkey(raw);
    return RegSetValueExA(hkey.get(), key.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                          static_cast<DWORD>(text.size() + 1)) == ERROR_SUCCESS;
}
