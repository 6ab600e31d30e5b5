// Runs under Wine against the registry of the test prefix. Each test removes
// what it wrote and leaves alone what was there before it.
#include <windows.h>

#include <gtest/gtest.h>

#include <optional>
#include <tuple>

#include "fakes/FakeControls.h"
#include "fakes/FakeSettingsStore.h"
#include "platform/EventPump_win.h"
#include "platform/Registry_win.h"
#include "platform/SettingsStore_win.h"
#include "settings/Settings.h"

namespace {

using Raw = std::optional<std::pair<DWORD, std::string>>;
constexpr const char* kGeneralKey = "Software\\Veltrano\\General";

// Type and bytes as stored, NUL included.
Raw ReadRaw(HKEY root, const char* key, const char* name) {
    char buf[512];
    DWORD type = 0, size = sizeof buf;
    if (RegGetValueA(root, key, name, RRF_RT_ANY | RRF_NOEXPAND, &type, buf, &size) != ERROR_SUCCESS) return {};
    return std::pair{type, std::string(buf, size)};
}
Raw Text(const std::string& text) { return std::pair{DWORD{REG_SZ}, text + '\0'}; }

bool KeyExists(HKEY root, const char* key) {
    HKEY h = nullptr;
    if (RegOpenKeyExA(root, key, 0, KEY_READ, &h) != ERROR_SUCCESS) return false;
    RegCloseKey(h);
    return true;
}

// The user's settings key and the machine's autorun value, both removed afterwards.
struct InRegistry : ::testing::Test {
    void SetUp() override {
        // A prefix in which something else stored these is not ours to clear.
        if (KeyExists(HKEY_CURRENT_USER, "Software\\Veltrano") || RunValue()) GTEST_SKIP() << "Veltrano's values exist";
        owned = true;
    }
    void TearDown() override {
        if (!owned) return;
        RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Veltrano");
        RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, kRunKey, kAutorunValueName);
    }
    static Raw RunValue() { return ReadRaw(HKEY_LOCAL_MACHINE, kRunKey, kAutorunValueName); }
    bool owned = false;
};

struct Window {
    FakeTextBox txtInterval;
    FakeCheckBox chkAuto, chkAutoRun, chkUseIP;
    FakeList cmbOffset, cmbServer;
    Win32SettingsStore store;
    FakeRegistry registry;
    Autorun autorun{registry, "C:\\Veltrano\\"};
    Win32EventPump pump;
    Settings settings{{txtInterval, chkAuto, chkAutoRun, chkUseIP, cmbOffset, cmbServer}, store, autorun, pump};
    Window() {
        FillOffsetChooser(cmbOffset);
        cmbServer.items = {"a - ", "b - ", "c - "};
        settings.LoadSettings();
    }
};

TEST_F(InRegistry, RoundTripThroughTheUsersKey) {
    Window first;
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, "Software\\Veltrano"));
    first.txtInterval.text = "45";
    first.chkAuto.value = first.chkUseIP.value = 1;
    first.cmbOffset.index = 1;
    first.cmbServer.index = 2;
    first.settings.SaveSettings();
    for (const auto& [key, text] : {std::pair{"Interval", "45"}, {"Auto", "1"}, {"AutoRun", "0"}, {"UseIP", "1"},
                                    {"Offset", "-30"}, {"ServerIndex", "2"}})
        EXPECT_EQ(ReadRaw(HKEY_CURRENT_USER, kGeneralKey, key), Text(text)) << key;

    Window second;
    EXPECT_EQ(second.txtInterval.text, "45");
    EXPECT_EQ(second.chkAuto.value + second.chkAutoRun.value * 2 + second.chkUseIP.value * 4, 5);
    EXPECT_EQ(second.settings.OffsetMinutes(), -30);
    EXPECT_EQ(second.cmbServer.index, 2);
}

TEST_F(InRegistry, MissingOrNonTextValuesGiveTheDefault) {
    Win32SettingsStore store;
    auto read = [&](const char* key) { return store.Read("Veltrano", "General", key, "dflt"); };
    EXPECT_EQ(read("Interval"), "dflt");  // no key at all

    const DWORD number = 7;
    const std::tuple<const char*, DWORD, const void*, DWORD> stored[] = {
        {"Interval", REG_DWORD, &number, 4}, {"Auto", REG_BINARY, "1", 1}, {"Offset", REG_EXPAND_SZ, "30", 3},
        {"UseIP", REG_SZ, "1", 1},  // text without its NUL
    };
    for (const auto& [key, type, data, size] : stored)
        ASSERT_EQ(RegSetKeyValueA(HKEY_CURRENT_USER, kGeneralKey, key, type, data, size), ERROR_SUCCESS) << key;
    for (const char* key : {"Interval", "Auto", "Offset", "ServerIndex"}) EXPECT_EQ(read(key), "dflt") << key;
    EXPECT_EQ(read("UseIP"), "1");
}

TEST_F(InRegistry, RunValueWrittenQuotedWhenTheFolderHasABlankEmptiedWhenOffAndNotWhenTheKeyIsMissing) {
    Win32Registry registry;
    FakeCheckBox chkAutoRun;
    chkAutoRun.value = 1;
    Autorun(registry, "C:\\Veltrano\\").UpdateAutorun(chkAutoRun);
    EXPECT_EQ(RunValue(), Text("C:\\Veltrano\\Veltrano.exe"));
    Autorun spaced(registry, "C:\\Program Files\\Veltrano\\");
    spaced.UpdateAutorun(chkAutoRun);
    EXPECT_EQ(RunValue(), Text("\"C:\\Program Files\\Veltrano\\Veltrano.exe\""));

    ASSERT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, "Software\\VeltranoNoSuchVendor"));
    Autorun(registry, "C:\\Veltrano\\", "Software\\VeltranoNoSuchVendor\\Run").UpdateAutorun(chkAutoRun);
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, "Software\\VeltranoNoSuchVendor"));
    EXPECT_EQ(RunValue(), Text("\"C:\\Program Files\\Veltrano\\Veltrano.exe\""));

    chkAutoRun.value = 0;
    spaced.UpdateAutorun(chkAutoRun);
    EXPECT_EQ(RunValue(), Text(""));
}

}  // namespace
