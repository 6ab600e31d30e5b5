#pragma once
#include <functional>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "platform/Registry.h"
#include "platform/SettingsStore.h"

// Values by "application/section/key"; every write is also logged in order.
class FakeSettingsStore final : public SettingsStore {
public:
    std::string Read(const std::string& app, const std::string& section, const std::string& key,
                     const std::string& defaultText) const override {
        const auto it = values.find(app + "/" + section + "/" + key);
        return it == values.end() ? defaultText : it->second;
    }
    bool Write(const std::string& app, const std::string& section, const std::string& key,
               const std::string& text) override {
        values[app + "/" + section + "/" + key] = text;
        writes.push_back(key + "=" + text);
        return true;
    }
    void Put(const std::string& key, const std::string& text) { values["Veltrano/General/" + key] = text; }
    std::map<std::string, std::string> values;
    std::vector<std::string> writes;
};

class FakeRegistry final : public Registry {
public:
    struct Call {
        std::string keyPath, valueName, data;
        RegistryValueType type;
    };
    void StoreRegistryValue(const std::string& keyPath, const std::string& valueName, const std::string& data,
                            RegistryValueType type) override {
        calls.push_back({keyPath, valueName, data, type});
        if (onStore) onStore();
    }
    std::vector<Call> calls;
    std::function<void()> onStore;
};
