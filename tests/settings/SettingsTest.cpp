#include <gtest/gtest.h>

#include "fakes/FakeSettingsStore.h"
#include "fakes/SettingsRig.h"
#include "settings/AppFolder.h"

namespace {

using Strings = std::vector<std::string>;

struct Rig : SettingsRig<FakeSettingsStore, FakeRegistry, QueuePump> {
    explicit Rig(const std::map<std::string, std::string>& stored) {
        for (const auto& [key, text] : stored) store.values["Veltrano/General/" + key] = text;
        // As in the window: every option change saves, some at once and some through the message
        // queue. The handler's name goes to the log of writes first.
        auto save = [this](const char* name) {
            return [this, name] { store.writes.push_back(name), settings.SaveSettings(); };
        };
        txtInterval.onChange = save("Interval"), chkAuto.onChange = save("Auto");
        chkAutoRun.onChange = save("AutoRun"), chkUseIP.onChange = save("UseIP");
        cmbOffset.onChange = [this, f = save("Offset")] { pump.pending.push_back(f); };
        cmbServer.onChange = [this, f = save("ServerIndex")] { pump.pending.push_back(f); };
        Load();
    }
};

// Under a minute shows 1, an offset not listed picks the default, 65537 is no 16-bit server index.
const std::map<std::string, std::string> kStored = {{"Interval", "0"}, {"Auto", "1"}, {"AutoRun", "1"},
                                                    {"UseIP", "1"}, {"Offset", "-5"}, {"ServerIndex", "65537"}};

TEST(Settings, LoadingWritesNothingThenEachChangeStoresAllThatLoadingShowedInOrder) {
    Rig r(kStored);
    // Every handler ran, the queued ones too, and none of them wrote.
    EXPECT_EQ(r.store.writes, (Strings{"Interval", "Interval", "Auto", "AutoRun", "UseIP", "Offset"}));
    r.store.writes.clear();
    r.chkUseIP.SetValue(0);
    EXPECT_EQ(r.store.writes, (Strings{"UseIP", "Interval=1", "Auto=1", "AutoRun=1", "UseIP=0", "Offset=0",
                                       "ServerIndex=-1"}));
    const FakeRegistry::Place machine{RegistryRoot::LocalMachine, std::string(kRunKey) + "\\Dravelquin"};
    EXPECT_EQ(r.registry.values, (FakeRegistry::Values{{machine, "C:\\Veltrano\\Veltrano.exe"}}));
    r.chkAutoRun.SetValue(0);  // off removes the autorun entry
    EXPECT_TRUE(r.registry.values.empty());
}

// The chooser reaches OffsetMinutes only when saving; no selection keeps the last.
TEST(Settings, OffsetFollowsTheChooserWhenSaved) {
    Rig r({});
    for (auto [index, minutes] : {std::pair{4, 60}, {0, -60}, {-1, -60}}) {
        r.cmbOffset.index = static_cast<int16_t>(index);
        r.settings.SaveSettings();
        EXPECT_EQ(r.settings.OffsetMinutes(), minutes) << index;
    }
}

TEST(AppFolder, ExactlyOneTrailingBackslash) {
    const std::pair<const char*, const char*> cases[] = {
        {"C:\\Program Files\\Tool\\Veltrano.exe", "C:\\Program Files\\Tool\\"}, {"C:\\Veltrano.exe", "C:\\"},
        {"C:/Tools/Veltrano.exe", "C:/Tools\\"}, {"Veltrano.exe", ".\\"},
    };
    for (const auto& [exe, folder] : cases) EXPECT_EQ(AppFolderFromExePath(exe), folder) << exe;
}

}  // namespace
