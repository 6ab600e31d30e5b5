#include <gtest/gtest.h>

#include "fakes/FakeControls.h"
#include "fakes/FakeSettingsStore.h"
#include "settings/Settings.h"

namespace {

using Strings = std::vector<std::string>;

// Handlers the window queued while loading; they run when events are let
// through.
class QueuePump final : public EventPump {
public:
    void PumpPendingEvents() override {
        ++pumps;
        auto queued = std::move(pending);
        pending.clear();
        for (auto& f : queued) f();
    }
    std::vector<std::function<void()>> pending;
    int pumps = 0;
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

    Rig() {
        FillOffsetChooser(cmbOffset);
        cmbServer.items = {"a - ", "b - ", "c - "};
        // As in the window: every option change saves, some at once and some
        // through the message queue.
        auto save = [this] { settings.SaveSettings(); };
        auto queueSave = [this] { pump.pending.push_back([this] { settings.SaveSettings(); }); };
        txtInterval.onChange = save;
        chkAuto.onChange = chkAutoRun.onChange = chkUseIP.onChange = save;
        cmbOffset.onChange = cmbServer.onChange = queueSave;
        registry.calls.clear();
    }
    std::string Stored(const std::string& key) { return store.Read("Veltrano", "General", key, "<missing>"); }
};

TEST(Settings, FirstRunShowsTheDefaultsAndWritesNothing) {
    Rig r;
    r.settings.LoadSettings();
    EXPECT_EQ(r.txtInterval.text, "1");
    EXPECT_EQ(r.chkAuto.value + r.chkAutoRun.value + r.chkUseIP.value, 0);
    EXPECT_EQ(r.cmbOffset.index, 2);
    EXPECT_EQ(r.settings.OffsetMinutes(), 0);
    EXPECT_EQ(r.cmbServer.index, 0);
    EXPECT_TRUE(r.store.writes.empty());
    EXPECT_TRUE(r.registry.calls.empty());
    EXPECT_FALSE(r.settings.SettingsLoading());
    EXPECT_EQ(r.pump.pumps, 1);
}

TEST(Settings, LoadingWritesNothingThoughEveryControlFiresItsHandler) {
    Rig r;
    r.store.Put("Interval", "20");
    r.store.Put("Auto", "1");
    r.store.Put("AutoRun", "1");
    r.store.Put("UseIP", "1");
    r.store.Put("Offset", "-60");
    r.store.Put("ServerIndex", "2");
    r.settings.LoadSettings();
    EXPECT_TRUE(r.store.writes.empty());
    EXPECT_TRUE(r.registry.calls.empty());
    EXPECT_TRUE(r.pump.pending.empty());

    // The first change after loading stores everything, in order, and
    // then the autorun entry.
    size_t writesBeforeAutorun = 0;
    r.registry.onStore = [&] { writesBeforeAutorun = r.store.writes.size(); };
    r.chkUseIP.SetValue(0);
    EXPECT_EQ(r.store.writes,
              (Strings{"Interval=20", "Auto=1", "AutoRun=1", "UseIP=0", "Offset=-60", "ServerIndex=2"}));
    ASSERT_EQ(r.registry.calls.size(), 1u);
    EXPECT_EQ(writesBeforeAutorun, 6u);
}

TEST(Settings, IntervalBelowOneMinuteShowsAsOne) {
    const std::pair<const char*, const char*> cases[] = {
        {"0", "1"}, {"-5", "1"}, {"", "1"}, {"abc", "1"}, {"0.5", "1"},
        {"30", "30"}, {" 7 ", " 7 "}, {"0.6", "0.6"},
    };
    for (const auto& [stored, shown] : cases) {
        Rig r;
        r.store.Put("Interval", stored);
        r.settings.LoadSettings();
        EXPECT_EQ(r.txtInterval.text, shown) << "stored \"" << stored << '"';
    }
}

TEST(Settings, CheckBoxesTakeOnlyClearOrChecked) {
    const std::pair<const char*, int> cases[] = {{"1", 1}, {"0", 0}, {"0.6", 1}, {" 1 ", 1}, {"2", 0}, {"-1", 0}, {"yes", 0}};
    for (const auto& [stored, value] : cases) {
        Rig r;
        r.store.Put("Auto", stored);
        r.store.Put("AutoRun", stored);
        r.store.Put("UseIP", stored);
        r.settings.LoadSettings();
        EXPECT_EQ(r.chkAuto.value, value) << stored;
        EXPECT_EQ(r.chkAutoRun.value, value) << stored;
        EXPECT_EQ(r.chkUseIP.value, value) << stored;
    }
}

TEST(Settings, OffsetSelectsItsItemAndAnOddValueWaitsForTheNextSave) {
    const std::tuple<const char*, int16_t, int32_t> cases[] = {
        {"-60", 0, -60}, {"-30", 1, -30}, {"0", 2, 0}, {"+30", 3, 30}, {"60", 4, 60},
        {"30.5", 3, 30}, {"15", 2, 15}, {"99999", 2, 0}, {"x", 2, 0},
    };
    for (const auto& [stored, index, minutes] : cases) {
        Rig r;
        r.store.Put("Offset", stored);
        r.settings.LoadSettings();
        EXPECT_EQ(r.cmbOffset.index, index) << stored;
        EXPECT_EQ(r.settings.OffsetMinutes(), minutes) << stored;
    }

    Rig r;
    r.store.Put("Offset", "15");
    r.settings.LoadSettings();
    r.chkAuto.SetValue(1);
    EXPECT_EQ(r.settings.OffsetMinutes(), 0);
    EXPECT_EQ(r.Stored("Offset"), "0");
}

TEST(Settings, OffsetChooserReachesOffsetMinutesOnlyBySaving) {
    Rig r;
    r.settings.LoadSettings();
    r.cmbOffset.index = 4;  // picked, handler not yet run
    EXPECT_EQ(r.settings.OffsetMinutes(), 0);
    r.settings.SaveSettings();
    EXPECT_EQ(r.settings.OffsetMinutes(), 60);
    EXPECT_EQ(r.Stored("Offset"), "60");

    r.cmbOffset.index = -1;  // nothing selected: the number stays
    r.settings.SaveSettings();
    EXPECT_EQ(r.settings.OffsetMinutes(), 60);
    EXPECT_EQ(r.Stored("Offset"), "60");
}

TEST(Settings, ServerIndexOutsideTheListSelectsNothing) {
    const std::pair<const char*, int16_t> cases[] = {
        {"2", 2}, {"1.5", 2}, {"3", -1}, {"-1", -1}, {"-2", -1}, {"65536", -1}, {"65537", -1}, {"junk", 0},
    };
    for (const auto& [stored, index] : cases) {
        Rig r;
        r.store.Put("ServerIndex", stored);
        r.settings.LoadSettings();
        EXPECT_EQ(r.cmbServer.index, index) << stored;
    }
}

TEST(Settings, AfterAReloadTheNextSaveStoresNoSelection) {
    Rig r;
    r.store.Put("ServerIndex", "1");
    r.settings.LoadSettings();
    r.cmbServer.Clear();
    r.cmbServer.items = {"a - ", "b - "};
    EXPECT_EQ(r.Stored("ServerIndex"), "1");
    r.txtInterval.SetText("5");
    EXPECT_EQ(r.Stored("ServerIndex"), "-1");
}

TEST(Settings, TypingStoresEveryIntermediateText) {
    Rig r;
    r.settings.LoadSettings();
    r.txtInterval.SetText("");
    r.txtInterval.SetText("2");
    r.txtInterval.SetText("25");
    Strings intervals;
    for (const auto& w : r.store.writes)
        if (w.rfind("Interval=", 0) == 0) intervals.push_back(w);
    EXPECT_EQ(intervals, (Strings{"Interval=", "Interval=2", "Interval=25"}));
    EXPECT_EQ(r.registry.calls.size(), 3u);
}

TEST(Autorun, CommandIsQuotedOnlyWhenThePathHasABlank) {
    EXPECT_EQ(AutorunCommand("C:\\Veltrano\\"), "C:\\Veltrano\\Veltrano.exe");
    EXPECT_EQ(AutorunCommand("C:\\Program Files\\Veltrano\\"), "\"C:\\Program Files\\Veltrano\\Veltrano.exe\"");
    EXPECT_EQ(AutorunCommand("D:\\Tools\\Time Keeper\\"), "\"D:\\Tools\\Time Keeper\\Veltrano.exe\"");
}

TEST(Autorun, EverySaveRewritesTheEntryAndOffEmptiesIt) {
    Rig r;
    r.settings.LoadSettings();
    r.chkAutoRun.SetValue(1);
    r.chkUseIP.SetValue(1);
    r.chkAutoRun.SetValue(0);
    ASSERT_EQ(r.registry.calls.size(), 3u);
    const Strings data{r.registry.calls[0].data, r.registry.calls[1].data, r.registry.calls[2].data};
    EXPECT_EQ(data, (Strings{"C:\\Veltrano\\Veltrano.exe", "C:\\Veltrano\\Veltrano.exe", ""}));
    for (const auto& c : r.registry.calls) {
        EXPECT_EQ(c.keyPath, "Software\\Microsoft\\Windows\\CurrentVersion\\Run");
        EXPECT_EQ(c.valueName, "Dravelquin");
        EXPECT_EQ(c.type, RegistryValueType::String);
    }
}

}  // namespace
