#include <gtest/gtest.h>

#include "fakes/FakeControls.h"
#include "fakes/FakeSettingsStore.h"
#include "settings/Settings.h"

namespace {

using Strings = std::vector<std::string>;
using Stored = std::map<std::string, std::string>;

// Handlers the window queued rather than called; they run when events are
// let through.
class QueuePump final : public EventPump {
public:
    void PumpPendingEvents() override {
        for (auto queued = std::move(pending); auto& f : queued) f();
    }
    std::vector<std::function<void()>> pending;
};

struct Rig {
    FakeTextBox txtInterval;
    FakeCheckBox chkAuto, chkAutoRun, chkUseIP;
    FakeList cmbOffset, cmbServer;
    FakeSettingsStore store;
    FakeRegistry registry;
    Autorun autorun{registry, "C:\\Veltrano\\"};
    QueuePump pump;
    Settings settings{{txtInterval, chkAuto, chkAutoRun, chkUseIP, cmbOffset, cmbServer}, store, autorun, pump};

    explicit Rig(const Stored& stored = {}) {
        for (const auto& [key, text] : stored) store.Put(key, text);
        FillOffsetChooser(cmbOffset);
        cmbServer.items = {"a - ", "b - ", "c - "};
        // As in the window: every option change saves, some at once and some
        // through the message queue.
        auto save = [this] { settings.SaveSettings(); };
        txtInterval.onChange = chkAuto.onChange = chkAutoRun.onChange = chkUseIP.onChange = save;
        cmbOffset.onChange = cmbServer.onChange = [this, save] { pump.pending.push_back(save); };
        registry.onStore = [this] { store.writes.push_back("<autorun>"); };
        settings.LoadSettings();
    }
    std::string Stored(const std::string& key) { return store.Read("Veltrano", "General", key, "<missing>"); }
};

TEST(Settings, FirstRunShowsTheDefaultsAndLoadingWritesNothing) {
    Rig r;
    EXPECT_EQ(r.txtInterval.text, "1");
    EXPECT_EQ(r.chkAuto.value + r.chkAutoRun.value + r.chkUseIP.value, 0);
    EXPECT_EQ(r.cmbOffset.index, 2);
    EXPECT_EQ(r.cmbServer.index, 0);
    EXPECT_TRUE(r.store.writes.empty());

    Rig full(Stored{{"Interval", "20"}, {"Auto", "1"}, {"AutoRun", "1"}, {"UseIP", "1"}, {"Offset", "-60"}, {"ServerIndex", "2"}});
    EXPECT_TRUE(full.store.writes.empty());
    EXPECT_TRUE(full.pump.pending.empty());
    EXPECT_FALSE(full.settings.SettingsLoading());
    // The first change afterwards stores all six in order, then the entry.
    full.chkUseIP.SetValue(0);
    EXPECT_EQ(full.store.writes, (Strings{"Interval=20", "Auto=1", "AutoRun=1", "UseIP=0", "Offset=-60", "ServerIndex=2",
                                          "<autorun>"}));
}

TEST(Settings, StoredTextsAsTheControlsShowThem) {
    struct Case {
        const char* stored;
        const char* interval;
        int check;
        int16_t offsetIndex;
        int32_t offsetMinutes;
        int16_t serverIndex;
    };
    const Case cases[] = {
        {"1", "1", 1, 2, 1, 1},
        {"0", "1", 0, 2, 0, 0},
        {"-5", "1", 0, 2, -5, -1},
        {"", "1", 0, 2, 0, 0},
        {"abc", "1", 0, 2, 0, 0},
        {"0.5", "1", 0, 2, 0, 0},
        {"0.6", "0.6", 1, 2, 1, 1},
        {" 2 ", " 2 ", 0, 2, 2, 2},  // a check box refuses 2 and stays clear
        {"-1", "1", 0, 2, -1, -1},
        {"3", "3", 0, 2, 3, -1},     // past the last server
        {"30.5", "30.5", 0, 3, 30, -1},
        {"-30", "1", 0, 1, -30, -1},
        {"+60", "+60", 0, 4, 60, -1},
        {"65537", "65537", 0, 2, 0, -1},  // does not fit 16 bits: not server 1
    };
    for (const Case& c : cases) {
        Rig r(Stored{{"Interval", c.stored}, {"Auto", c.stored}, {"AutoRun", c.stored}, {"UseIP", c.stored},
               {"Offset", c.stored}, {"ServerIndex", c.stored}});
        SCOPED_TRACE('"' + std::string(c.stored) + '"');
        EXPECT_EQ(r.txtInterval.text, c.interval);
        EXPECT_EQ(r.chkAuto.value, c.check);
        EXPECT_EQ(r.chkAutoRun.value, c.check);
        EXPECT_EQ(r.chkUseIP.value, c.check);
        EXPECT_EQ(r.cmbOffset.index, c.offsetIndex);
        EXPECT_EQ(r.settings.OffsetMinutes(), c.offsetMinutes);
        EXPECT_EQ(r.cmbServer.index, c.serverIndex);
    }
}

TEST(Settings, OffsetMinutesFollowsTheChooserOnlyWhenSaving) {
    Rig r(Stored{{"Offset", "15"}});
    EXPECT_EQ(r.settings.OffsetMinutes(), 15);
    r.cmbOffset.index = 4;  // picked, handler not yet run
    EXPECT_EQ(r.settings.OffsetMinutes(), 15);
    r.settings.SaveSettings();
    EXPECT_EQ(r.settings.OffsetMinutes(), 60);
    r.cmbOffset.index = -1;
    r.cmbServer.Clear();  // a reload of the list
    r.settings.SaveSettings();
    EXPECT_EQ(r.Stored("Offset"), "60");
    EXPECT_EQ(r.Stored("ServerIndex"), "-1");
}

TEST(Autorun, EverySaveRewritesTheEntryQuotedWhenNeededAndOffEmptiesIt) {
    Rig r;
    r.chkAutoRun.SetValue(1);
    r.chkUseIP.SetValue(1);
    r.chkAutoRun.SetValue(0);
    Strings data;
    for (const auto& c : r.registry.calls) {
        data.push_back(c.data);
        EXPECT_EQ(c.keyPath, "Software\\Microsoft\\Windows\\CurrentVersion\\Run");
        EXPECT_EQ(c.valueName, "Dravelquin");
        EXPECT_EQ(c.type, RegistryValueType::String);
    }
    EXPECT_EQ(data, (Strings{"C:\\Veltrano\\Veltrano.exe", "C:\\Veltrano\\Veltrano.exe", ""}));
    EXPECT_EQ(AutorunCommand("C:\\Program Files\\Veltrano\\"), "\"C:\\Program Files\\Veltrano\\Veltrano.exe\"");
}

}  // namespace
