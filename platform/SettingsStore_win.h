#pragma once
#include <string>
#include <utility>

#include "platform/SettingsStore.h"

// REG_SZ values under HKEY_CURRENT_USER\<softwareKey>\<application>\<section>.
// Tests move softwareKey aside so that they never touch a real user's values.
class Win32SettingsStore final : public SettingsStore {
public:
    explicit Win32SettingsStore(std::string softwareKey = "Software") : softwareKey_(std::move(softwareKey)) {}
    std::string Read(const std::string& application, const std::string& section, const std::string& key,
                     const std::string& defaultText) const override;
    bool Write(const std::string& application, const std::string& section, const std::string& key,
               const std::string& text) override;

private:
    std::string KeyPath(const std::string& application, const std::string& section) const;
    std::string softwareKey_;
};
