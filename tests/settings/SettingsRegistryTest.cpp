// Runs under Wine against the real registry of the test prefix. Every test
// removes what it wrote, and leaves alone what was there before it.
#include <windows.h>

#include <gtest/gtest.h>

#include <optional>

#include "fakes/FakeControls.h"
#include "platform/Win32EventPump.h"
#include "platform/Win32Registry.h"
#include "platform/Win32SettingsStore.h"
#include "settings/Settings.h"

namespace {

constexpr const char* kGeneralKey = "Software\\Veltrano\\General";

struct RawValue {
    DWORD type;
    std::string bytes;  // as stored, NUL included
};

std::optional<RawValue> ReadRaw(HKEY root, const char* key, const char* name) {
    HKEY h = nullptr;
    if (RegOpenKeyExA(root, key, 0, KEY_QUERY_VALUE, &h) != ERROR_SUCCESS) return std::nullopt;
    DWORD type = 0, size = 0;
    std::optional<RawValue> out;
    if (RegQueryValueExA(h, name, nullptr, &type, nullptr, &size) == ERROR_SUCCESS) {
        std::string bytes(size, '\0');
        if (RegQueryValueExA(h, name, nullptr, &type, reinterpret_cast<BYTE*>(bytes.data()), &size) ==
            ERROR_SUCCESS)
            out = RawValue{type, bytes.substr(0, size)};
    }
    RegCloseKey(h);
    return out;
}

bool KeyExists(HKEY root, const char* key) {
    HKEY h = nullptr;
    if (RegOpenKeyExA(root, key, 0, KEY_READ, &h) != ERROR_SUCCESS) return false;
    RegCloseKey(h);
    return true;
}

void PutRaw(const char* key, const char* name, DWORD type, const void* data, DWORD size) {
    HKEY h = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, key, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &h, nullptr),
              ERROR_SUCCESS);
    RegSetValueExA(h, name, 0, type, static_cast<const BYTE*>(data), size);
    RegCloseKey(h);
}

// The program's own settings key must not exist before: a prefix in which
// something else stored them is not ours to clear.
class SettingsInRegistry : public ::testing::Test {
protected:
    void SetUp() override {
        if (KeyExists(HKEY_CURRENT_USER, "Software\\Veltrano")) GTEST_SKIP() << "HKCU\\Software\\Veltrano exists";
        owned_ = true;
    }
    void TearDown() override {
        if (owned_) RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Veltrano");
        if (owned_) RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Veltrano");
    }
    bool owned_ = false;
};

// Saves what the autorun value held before and puts it back afterwards.
class RunValue : public ::testing::Test {
protected:
    void SetUp() override { before_ = ReadRaw(HKEY_LOCAL_MACHINE, kRunKey, kAutorunValueName); }
    void TearDown() override {
        HKEY h = nullptr;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kRunKey, 0, KEY_SET_VALUE, &h) != ERROR_SUCCESS) return;
        if (before_)
            RegSetValueExA(h, kAutorunValueName, 0, before_->type, reinterpret_cast<const BYTE*>(before_->bytes.data()),
                           static_cast<DWORD>(before_->bytes.size()));
        else
            RegDeleteValueA(h, kAutorunValueName);
        RegCloseKey(h);
    }
    std::optional<RawValue> Current() { return ReadRaw(HKEY_LOCAL_MACHINE, kRunKey, kAutorunValueName); }
    std::optional<RawValue> before_;
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

class NoRegistry final : public Registry {
public:
    void StoreRegistryValue(const std::string&, const std::string&, const std::string&, RegistryValueType) override {}
};

TEST_F(SettingsInRegistry, RoundTripThroughTheUsersKey) {
    Win32SettingsStore store;
    NoRegistry registry;
    Autorun autorun(registry, "C:\\Veltrano\\");
    Win32EventPump pump;

    Window first;
    Settings saving(first.Controls(), store, autorun, pump);
    saving.LoadSettings();
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, "Software\\Veltrano"));  // loading wrote nothing
    first.txtInterval.text = "45";
    first.chkAuto.value = 1;
    first.chkUseIP.value = 1;
    first.cmbOffset.index = 1;
    first.cmbServer.index = 2;
    saving.SaveSettings();

    const std::pair<const char*, const char*> stored[] = {
        {"Interval", "45"}, {"Auto", "1"}, {"AutoRun", "0"}, {"UseIP", "1"}, {"Offset", "-30"}, {"ServerIndex", "2"},
    };
    for (const auto& [key, text] : stored) {
        const auto raw = ReadRaw(HKEY_CURRENT_USER, kGeneralKey, key);
        ASSERT_TRUE(raw) << key;
        EXPECT_EQ(raw->type, static_cast<DWORD>(REG_SZ)) << key;
        EXPECT_EQ(raw->bytes, std::string(text) + '\0') << key;
    }

    Window second;
    Settings loading(second.Controls(), store, autorun, pump);
    loading.LoadSettings();
    EXPECT_EQ(second.txtInterval.text, "45");
    EXPECT_EQ(second.chkAuto.value, 1);
    EXPECT_EQ(second.chkAutoRun.value, 0);
    EXPECT_EQ(second.chkUseIP.value, 1);
    EXPECT_EQ(second.cmbOffset.index, 1);
    EXPECT_EQ(loading.OffsetMinutes(), -30);
    EXPECT_EQ(second.cmbServer.index, 2);
}

TEST_F(SettingsInRegistry, MissingOrNonTextValuesGiveTheDefault) {
    Win32SettingsStore store;
    EXPECT_EQ(store.Read("Veltrano", "General", "Interval", "1"), "1");  // no key at all

    const DWORD number = 7;
    PutRaw(kGeneralKey, "Interval", REG_DWORD, &number, sizeof number);
    PutRaw(kGeneralKey, "Auto", REG_BINARY, "1", 1);
    PutRaw(kGeneralKey, "Offset", REG_EXPAND_SZ, "30", 3);
    PutRaw(kGeneralKey, "UseIP", REG_SZ, "1", 1);  // written by someone else, no NUL
    PutRaw(kGeneralKey, "AutoRun", REG_SZ, "", 0);
    EXPECT_EQ(store.Read("Veltrano", "General", "Interval", "1"), "1");
    EXPECT_EQ(store.Read("Veltrano", "General", "Auto", "0"), "0");
    EXPECT_EQ(store.Read("Veltrano", "General", "Offset", "0"), "0");
    EXPECT_EQ(store.Read("Veltrano", "General", "UseIP", "0"), "1");
    EXPECT_EQ(store.Read("Veltrano", "General", "AutoRun", "0"), "");
    EXPECT_EQ(store.Read("Veltrano", "General", "ServerIndex", "0"), "0");  // key there, value not
    EXPECT_EQ(store.Read("Veltrano", "Elsewhere", "Interval", "dflt"), "dflt");
}

TEST_F(RunValue, WrittenWithTheProgramPathQuotedWhenItHasABlank) {
    Win32Registry registry;
    FakeCheckBox chkAutoRun;
    chkAutoRun.value = 1;

    Autorun plain(registry, "C:\\Veltrano\\");
    plain.UpdateAutorun(chkAutoRun);
    auto raw = Current();
    ASSERT_TRUE(raw);
    EXPECT_EQ(raw->type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(raw->bytes, std::string("C:\\Veltrano\\Veltrano.exe") + '\0');

    Autorun spaced(registry, "C:\\Program Files\\Veltrano\\");
    spaced.UpdateAutorun(chkAutoRun);
    raw = Current();
    ASSERT_TRUE(raw);
    EXPECT_EQ(raw->bytes, std::string("\"C:\\Program Files\\Veltrano\\Veltrano.exe\"") + '\0');
}

TEST_F(RunValue, EmptiedNotDeletedWhenAutorunIsOff) {
    Win32Registry registry;
    FakeCheckBox chkAutoRun;
    Autorun autorun(registry, "C:\\Veltrano\\");
    chkAutoRun.value = 1;
    autorun.UpdateAutorun(chkAutoRun);
    chkAutoRun.value = 0;
    autorun.UpdateAutorun(chkAutoRun);
    const auto raw = Current();
    ASSERT_TRUE(raw);
    EXPECT_EQ(raw->type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(raw->bytes, std::string(1, '\0'));
}

TEST_F(RunValue, NothingIsWrittenWhenTheKeyCannotBeOpened) {
    const char* missing = "Software\\VeltranoNoSuchVendor\\Run";
    ASSERT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, "Software\\VeltranoNoSuchVendor"));
    Win32Registry registry;
    FakeCheckBox chkAutoRun;
    chkAutoRun.value = 1;
    Autorun autorun(registry, "C:\\Veltrano\\", missing);
    autorun.UpdateAutorun(chkAutoRun);
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, "Software\\VeltranoNoSuchVendor"));
    EXPECT_EQ(Current().has_value(), before_.has_value());
}

}  // namespace
