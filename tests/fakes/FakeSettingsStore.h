#pragma once
#include <functional>
#include <map>
#include <set>
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

// Values by root and "key\name"; a root that is not writable refuses every
// change, and failStores makes even a writable one refuse to store.
struct FakeRegistry final : Registry {
    using Place = std::pair<RegistryRoot, std::string>;
    using Values = std::map<Place, std::string>;
    bool MayWrite(RegistryRoot root, const std::string&) override { return writable.contains(root); }
    bool StoreRegistryValue(RegistryRoot root, const std::string& key, const std::string& name,
                            const std::string& data, RegistryValueType) override {
        if (!MayWrite(root, key) || failStores) return false;
        return values[{root, key + "\\" + name}] = data, true;
    }
    bool DeleteRegistryValue(RegistryRoot root, const std::string& key, const std::string& name) override {
        return MayWrite(root, key) ? (values.erase({root, key + "\\" + name}), true)
                                   : !values.contains({root, key + "\\" + name});
    }
    Values values;
    std::set<RegistryRoot> writable{RegistryRoot::LocalMachine, RegistryRoot::CurrentUser};
    bool failStores = false;
};

// Handlers the window queued rather than called; they run when events are let through.
struct QueuePump final : EventPump {
    void PumpPendingEvents() override {
        for (auto queued = std::move(pending); auto& f : queued) f();
    }
    std::vector<std::function<void()>> pending;
};
