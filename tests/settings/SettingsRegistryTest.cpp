// Runs under Wine against the registry of the test prefix. Each test removes
// what it wrote and leaves alone what was there before it.
#include <windows.h>

#include <gtest/gtest.h>

#include <optional>

#include "fakes/FakeControls.h"
#include "fakes/FakeSettingsStore.h"
#include "platform/Win32EventPump.h"
#include "platform/Win32Registry.h"
#include "platform/Win32SettingsStore.h"
#include "settings/Settings.h"

namespace {

constexpr const char* kGeneralKey = "Software\\Veltrano\\General";

// Type and bytes as stored, NUL included.
std::optional<std::pair<DWORD, std::string>> ReadRaw(HKEY root, const char* key, const char* name) {
    char buf[512];
    DWORD type = 0, size = sizeof buf;
    if (RegGetValueA(root, key, name, RRF_RT_ANY | RRF_NOEXPAND, &type, buf, &size) != ERROR_SUCCESS)
        return std::nullopt;
    return std::pair{type, std::string(buf, size)};
}

bool KeyExists(HKEY root, const char* key) {
    HKEY h = nullptr;
    if (RegOpenKeyExA(root, key, 0, KEY_READ, &h) != ERROR_SUCCESS) return false;
    RegCloseKey(h);
    return true;
}

class SettingsInRegistry : public ::testing::Test {
protected:
    void SetUp() override {
        // A prefix in which something else stored these is not ours to clear.
        if (KeyExists(HKEY_CURRENT_USER, "Software\\Veltrano")) GTEST_SKIP() << "HKCU\\Software\\Veltrano exists";
        owned_ = true;
    }
    void TearDown() override {
        if (owned_) RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Veltrano");
    }
    bool owned_ = false;
};

struct Window {
    FakeTextBox txtInterval;
    FakeCheckBox chkAuto, chkAutoRun, chkUseIP;
    FakeList cmbOffset, cmbServer;
    Window() {
        FillOffsetChooser(cmbOffset);
        cmbServer.items = {"a - ", "b - ", "c - "};
    }
    SettingsControls Controls() { return {txtInterval, chkAuto, chkAutoRun, chkUseIP, cmbOffset, cmbServer}; }
};

TEST_F(SettingsInRegistry, RoundTripThroughTheUsersKey) {
    Win32SettingsStore store;
    FakeRegistry registry;
    Autorun autorun(registry, "C:\\Veltrano\\");
    Win32EventPump pump;

    Window first;
    Settings saving(first.Controls(), store, autorun, pump);
    saving.LoadSettings();
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, "Software\\Veltrano"));
    first.txtInterval.text = "45";
    first.chkAuto.value = first.chkUseIP.value = 1;
    first.cmbOffset.index = 1;
    first.cmbServer.index = 2;
    saving.SaveSettings();
    const std::pair<const char*, const char*> stored[] = {
        {"Interval", "45"}, {"Auto", "1"}, {"AutoRun", "0"}, {"UseIP", "1"}, {"Offset", "-30"}, {"ServerIndex", "2"},
    };
    for (const auto& [key, text] : stored)
        EXPECT_EQ(ReadRaw(HKEY_CURRENT_USER, kGeneralKey, key), std::pair(DWORD{REG_SZ}, std::string(text) + '\0'));

    Window second;
    Settings loading(second.Controls(), store, autorun, pump);
    loading.LoadSettings();
    EXPECT_EQ(second.txtInterval.text, "45");
    EXPECT_EQ(second.chkAuto.value + second.chkAutoRun.value * 2 + second.chkUseIP.value * 4, 5);
    EXPECT_EQ(loading.OffsetMinutes(), -30);
    EXPECT_EQ(second.cmbServer.index, 2);
}

TEST_F(SettingsInRegistry, MissingOrNonTextValuesGiveTheDefault) {
    Win32SettingsStore store;
    auto read = [&](const char* key) { return store.Read("Veltrano", "General", key, "dflt"); };
    EXPECT_EQ(read("Interval"), "dflt");  // no key at all

    HKEY h = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kGeneralKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &h, nullptr),
              ERROR_SUCCESS);
    const DWORD number = 7;
    RegSetValueExA(h, "Interval", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number);
    RegSetValueExA(h, "Auto", 0, REG_BINARY, reinterpret_cast<const BYTE*>("1"), 1);
    RegSetValueExA(h, "Offset", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>("30"), 3);
    RegSetValueExA(h, "UseIP", 0, REG_SZ, reinterpret_cast<const BYTE*>("1"), 1);  // stored without its NUL
    RegCloseKey(h);
    EXPECT_EQ(read("Interval"), "dflt");
    EXPECT_EQ(read("Auto"), "dflt");
    EXPECT_EQ(read("Offset"), "dflt");
    EXPECT_EQ(read("UseIP"), "1");
    EXPECT_EQ(read("ServerIndex"), "dflt");  // key there, value not
}

// Puts back whatever the autorun value held before.
class RunValue : public ::testing::Test {
protected:
    void SetUp() override { before_ = Current(); }
    void TearDown() override {
        HKEY h = nullptr;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kRunKey, 0, KEY_SET_VALUE, &h) != ERROR_SUCCESS) return;
        if (before_)
            RegSetValueExA(h, kAutorunValueName, 0, before_->first, reinterpret_cast<const BYTE*>(before_->second.data()),
                           static_cast<DWORD>(before_->second.size()));
        else
            RegDeleteValueA(h, kAutorunValueName);
        RegCloseKey(h);
    }
    static std::optional<std::pair<DWORD, std::string>> Current() {
        return ReadRaw(HKEY_LOCAL_MACHINE, kRunKey, kAutorunValueName);
    }
    std::optional<std::pair<DWORD, std::string>> before_;
};

TEST_F(RunValue, WrittenQuotedWhenTheFolderHasABlankAndEmptiedWhenOff) {
    Win32Registry registry;
    FakeCheckBox chkAutoRun;
    chkAutoRun.value = 1;
    Autorun(registry, "C:\\Veltrano\\").UpdateAutorun(chkAutoRun);
    EXPECT_EQ(Current(), std::pair(DWORD{REG_SZ}, std::string("C:\\Veltrano\\Veltrano.exe") + '\0'));

    Autorun spaced(registry, "C:\\Program Files\\Veltrano\\");
    spaced.UpdateAutorun(chkAutoRun);
    EXPECT_EQ(Current(), std::pair(DWORD{REG_SZ}, std::string("\"C:\\Program Files\\Veltrano\\Veltrano.exe\"") + '\0'));

    chkAutoRun.value = 0;
    spaced.UpdateAutorun(chkAutoRun);
    EXPECT_EQ(Current(), std::pair(DWORD{REG_SZ}, std::string(1, '\0')));
}

TEST_F(RunValue, NothingIsWrittenWhenTheKeyCannotBeOpened) {
    ASSERT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, "Software\\VeltranoNoSuchVendor"));
    Win32Registry registry;
    FakeCheckBox chkAutoRun;
    chkAutoRun.value = 1;
    Autorun(registry, "C:\\Veltrano\\", "Software\\VeltranoNoSuchVendor\\Run").UpdateAutorun(chkAutoRun);
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, "Software\\VeltranoNoSuchVendor"));
    EXPECT_EQ(Current(), before_);
}

}  // namespace
