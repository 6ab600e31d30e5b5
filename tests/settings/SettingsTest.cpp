#include <gtest/gtest.h>

#include "fakes/FakeSettingsStore.h"
#include "fakes/SettingsRig.h"

namespace {

using Strings = std::vector<std::string>;
using Stored = std::map<std::string, std::string>;

struct Rig : SettingsRig<FakeSettingsStore, FakeRegistry, QueuePump> {
    explicit Rig(const Stored& stored = {}) {
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
        registry.onStore = [this](const std::string& data) { store.writes.push_back("<autorun " + data + ">"); };
        Load();
    }
};

TEST(Settings, LoadingWritesNothingAndEachChangeStoresAllInOrder) {
    Rig r(Stored{
        {"Interval", "20"}, {"Auto", "1"}, {"AutoRun", "1"}, {"UseIP", "1"}, {"Offset", "-60"}, {"ServerIndex", "2"}});
    // Every handler ran, the queued ones too, and none of them wrote.
    EXPECT_EQ(r.store.writes, (Strings{"Interval", "Auto", "AutoRun", "UseIP", "Offset", "ServerIndex"}));
    r.store.writes.clear();
    r.chkUseIP.SetValue(0);
    EXPECT_EQ(r.store.writes, (Strings{"UseIP", "Interval=20", "Auto=1", "AutoRun=1", "UseIP=0", "Offset=-60",
                                       "ServerIndex=2", "<autorun C:\\Veltrano\\Veltrano.exe>"}));
    r.chkAutoRun.SetValue(0);  // off empties the autorun entry
    EXPECT_EQ(r.store.writes.back(), "<autorun >");

    // The offset chooser reaches OffsetMinutes only when saving; no selection keeps the last.
    for (auto [index, minutes] : {std::pair{4, 60}, {0, -60}, {-1, -60}}) {
        r.cmbOffset.index = static_cast<int16_t>(index);
        r.settings.SaveSettings();
        EXPECT_EQ(r.settings.OffsetMinutes(), minutes) << index;
    }
}

TEST(Settings, StoredTextsAsTheControlsShowThem) {
    struct Case {
        const char *stored, *interval;  // stored: for all six values
        int check, offsetIndex, offsetMinutes, serverIndex;
    } cases[] = {
        {nullptr, "1", 0, 2, 0, 0}, {"1", "1", 1, 2, 1, 1}, {"0", "1", 0, 2, 0, 0}, {"-5", "1", 0, 2, -5, -1},
        {"30.5", "30.5", 0, 3, 30, -1}, {" 2 ", " 2 ", 0, 2, 2, 2},  // a check box refuses 2 and stays clear
        {"65537", "65537", 0, 2, 0, -1},                             // does not fit 16 bits: not server 1
    };
    for (const Case& c : cases) {
        Stored stored;
        for (const char* key : {"Interval", "Auto", "AutoRun", "UseIP", "Offset", "ServerIndex"})
            if (c.stored) stored[key] = c.stored;
        Rig r(stored);
        SCOPED_TRACE(c.stored ? '"' + std::string(c.stored) + '"' : "nothing");
        EXPECT_EQ(r.txtInterval.text, c.interval);
        EXPECT_EQ((std::vector{r.chkAuto.value, r.chkAutoRun.value, r.chkUseIP.value}), std::vector(3, c.check));
        EXPECT_EQ(r.cmbOffset.index, c.offsetIndex);
        EXPECT_EQ(r.settings.OffsetMinutes(), c.offsetMinutes);
        EXPECT_EQ(r.cmbServer.index, c.serverIndex);
    }
}

}  // namespace
