#pragma once
#include <string>

// The user's own settings, kept as texts by application, section and key.
class SettingsStore {
public:
    virtual ~SettingsStore() = default;
    // The stored text, or defaultText when the application, section or key
    // is missing or holds something other than text.
    virtual std::string Read(const std::string& application, const std::string& section,
                             const std::string& key, const std::string& defaultText) const = 0;
    // Creates whatever is missing on the way. False when the store refused.
    virtual bool Write(const std::string& application, const std::string& section, const std::string& key,
                       const std::string& text) = 0;
};
