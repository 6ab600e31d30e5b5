#pragma once
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/EventPump.h"
#include "platform/Registry.h"
#include "platform/SettingsStore.h"

// Values by "application/section/key"; every write is also logged in order.
struct FakeSettingsStore final : SettingsStore {
    std::string Read(const std::string& app, const std::string& section, const std::string& key,
                     const std::string& defaultText) const override {
        const auto it = values.find(app + "/" + section + "/" + key);
        return it == values.end() ? defaultText : it->second;
    }
    bool Write(const std::string& app, const std::string& section, const std::string& key,
               const std::string& text) override {
        return values[app + "/" + section + "/" + key] = text, writes.push_back(key + "=" + text), true;
    }
    std::map<std::string, std::string> values;
    std::vector<std::string> writes;
};

struct FakeRegistry final : Registry {
    void StoreRegistryValue(const std::string&, const std::string&, const std::string& data,
                            RegistryValueType) override {
        if (onStore) onStore(data);
    }
    std::function<void(const std::string&)> onStore;
};

// Handlers the window queued rather than called; they run when events are let through.
struct QueuePump final : EventPump {
    void PumpPendingEvents() override {
        for (auto queued = std::move(pending); auto& f : queued) f();
    }
    std::vector<std::function<void()>> pending;
};
