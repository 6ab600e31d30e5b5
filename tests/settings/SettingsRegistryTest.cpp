// Runs under Wine against the registry of the test prefix. Each test removes
// what it wrote and leaves alone what was there before it.
#include <windows.h>

#include <gtest/gtest.h>

#include <optional>

#include "fakes/FakeSettingsStore.h"
#include "fakes/SettingsRig.h"
#include "platform/EventPump_win.h"
#include "platform/Registry_win.h"
#include "platform/SettingsStore_win.h"

namespace {

using Raw = std::optional<std::pair<DWORD, std::string>>;

// Type and bytes as stored, NUL included.
Raw ReadRaw(HKEY root, const char* key, const char* name) {
    char buf[512];
    DWORD type = 0, size = sizeof buf;
    if (RegGetValueA(root, key, name, RRF_RT_ANY | RRF_NOEXPAND, &type, buf, &size) != ERROR_SUCCESS) return {};
    return std::pair{type, std::string(buf, size)};
}
Raw Text(const std::string& text) { return std::pair{DWORD{REG_SZ}, text + '\0'}; }
Raw RunValue() { return ReadRaw(HKEY_LOCAL_MACHINE, kRunKey, kAutorunValueName); }
bool KeyExists(HKEY root, const char* key) {
    HKEY h = nullptr;
    return RegOpenKeyExA(root, key, 0, KEY_READ, &h) == ERROR_SUCCESS && RegCloseKey(h) == ERROR_SUCCESS;
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
    bool owned = false;
};
using Rig = SettingsRig<Win32SettingsStore, FakeRegistry, Win32EventPump>;

// Each value is stored as text with its NUL, and read back without it.
TEST_F(InRegistry, RoundTripThroughTheUsersKey) {
    Rig first;
    first.Load();
    first.txtInterval.text = "45";
    first.chkAuto.value = first.chkUseIP.value = 1;
    first.cmbOffset.index = 1;
    first.settings.SaveSettings();
    EXPECT_EQ(ReadRaw(HKEY_CURRENT_USER, "Software\\Veltrano\\General", "Offset"), Text("-30"));
    Rig second;
    second.Load();
    EXPECT_EQ(second.txtInterval.text, "45");
    EXPECT_EQ(second.Checks(), 5);
}

TEST_F(InRegistry, RunValueWrittenQuotedWhenTheFolderHasABlankAndEmptiedWhenOff) {
    Win32Registry registry;
    FakeCheckBox chkAutoRun;
    chkAutoRun.value = 1;
    Autorun spaced(registry, "C:\\Program Files\\Veltrano\\");
    spaced.UpdateAutorun(chkAutoRun);
    EXPECT_EQ(RunValue(), Text("\"C:\\Program Files\\Veltrano\\Veltrano.exe\""));
    chkAutoRun.value = 0;
    spaced.UpdateAutorun(chkAutoRun);
    EXPECT_EQ(RunValue(), Text(""));
}

}  // namespace
