// Runs under Wine against the registry of the test prefix, which is the
// tests' own: what a test writes there it clears before and after.
#include <windows.h>

#include <sddl.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>

#include "fakes/FakeSettingsStore.h"
#include "fakes/SettingsRig.h"
#include "platform/EventPump_win.h"
#include "platform/FileAccess_win.h"
#include "platform/Registry_win.h"
#include "platform/SettingsStore_win.h"
#include "platform/WideText_win.h"

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

// The user's settings key and both autorun values; a run cut short may have left them.
struct InRegistry : ::testing::Test {
    void SetUp() override { TearDown(); }
    void TearDown() override {
        RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Veltrano");
        RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, kRunKey, kAutorunValueName);
        RegDeleteKeyValueA(HKEY_CURRENT_USER, kRunKey, kAutorunValueName);
    }
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

// A folder of the user's own, with an exe in it: the entry goes under the
// user's key, quoted for the blank, and an entry an earlier version left
// under the machine's key goes, since this test's program may remove it.
// Unchecked, neither is left.
TEST_F(InRegistry, AFolderUsersMayChangeHasAnEntryOnlyUnderTheUsersKey) {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring folder = temp + std::wstring(L"Veltrano autorun\\");
    CreateDirectoryW(folder.c_str(), nullptr);
    std::ofstream(std::filesystem::path(folder + L"Veltrano.exe"));
    RegSetKeyValueA(HKEY_LOCAL_MACHINE, kRunKey, kAutorunValueName, REG_SZ, "", 1);
    Win32Registry registry;
    Autorun autorun(registry, Utf8FromWide(folder), WritableOnlyByAdministrators);
    FakeCheckBox chkAutoRun;
    chkAutoRun.value = 1;
    EXPECT_EQ(autorun.UpdateAutorun(chkAutoRun), AutorunResult::User);
    const Raw quoted = Text("\"" + Utf8FromWide(folder) + "Veltrano.exe\"");
    EXPECT_EQ(ReadRaw(HKEY_CURRENT_USER, kRunKey, kAutorunValueName), quoted);
    EXPECT_EQ(RunValue(), std::nullopt);
    chkAutoRun.value = 0;
    EXPECT_EQ(autorun.UpdateAutorun(chkAutoRun), AutorunResult::Removed);
    EXPECT_EQ(ReadRaw(HKEY_CURRENT_USER, kRunKey, kAutorunValueName), std::nullopt);
    std::filesystem::remove_all(folder);
}

// Owner and access lists as SDDL: BA administrators, SY SYSTEM, BU users,
// WD everyone, AU authenticated users, CO creator owner; ti is TrustedInstaller.
TEST(WritableOnlyByAdministrators, OnlyWhenNobodyElseOwnsOrMayChangeTheObject) {
    const std::string ti = "S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";
    const std::string safe = "(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICI;0x1200a9;;;BU)";
    const std::pair<std::string, bool> cases[] = {
        {"O:BAD:PAI" + safe, true}, {"O:SYD:" + safe, true},
        {"O:" + ti + "D:(A;;FA;;;" + ti + ")(A;;0x1200a9;;;BU)", true},
        {"O:BAD:", true},                                      // nobody may do anything
        {"O:BAD:(D;;FA;;;WD)" + safe, true},                   // a denial grants nothing
        {"O:BAD:(A;OICIIO;GA;;;CO)" + safe, true},             // only for what is created inside
        {"O:S-1-5-21-1-2-3-1001D:" + safe, false},             // an owner may rewrite the list
        {"O:BA", false},                                       // no list read
        {"O:BAD:" + safe + "(A;;0x2;;;BU)", false},            // write data, or add a file
        {"O:BAD:" + safe + "(A;;0x4;;;BU)", false},            // append, or a subfolder
        {"O:BAD:" + safe + "(A;;0x40;;;BU)", false},           // delete a child
        {"O:BAD:" + safe + "(A;;SD;;;WD)", false},             // delete
        {"O:BAD:" + safe + "(A;;WD;;;AU)", false},             // rewrite the list
        {"O:BAD:" + safe + "(A;;WO;;;AU)", false},             // take ownership
        {"O:BAD:" + safe + "(A;;GW;;;BU)", false}, {"O:BAD:" + safe + "(A;;GA;;;BU)", false},
    };
    for (const auto& [sddl, expected] : cases) {
        PSECURITY_DESCRIPTOR sd = nullptr;
        ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl.c_str(), SDDL_REVISION_1, &sd, nullptr))
            << sddl;
        EXPECT_EQ(OnlyAdministratorsMayChange(sd), expected) << sddl;
        LocalFree(sd);
    }
    // A NULL list lets everyone do everything. Built by hand: Wine reads
    // "D:NO_ACCESS_CONTROL" as an empty list.
    SECURITY_DESCRIPTOR open{};
    InitializeSecurityDescriptor(&open, SECURITY_DESCRIPTOR_REVISION);
    BYTE admins[SECURITY_MAX_SID_SIZE];
    DWORD size = sizeof admins;
    CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, admins, &size);
    SetSecurityDescriptorOwner(&open, admins, FALSE);
    SetSecurityDescriptorDacl(&open, TRUE, nullptr, FALSE);
    EXPECT_FALSE(OnlyAdministratorsMayChange(&open));
    EXPECT_FALSE(WritableOnlyByAdministrators("C:\\veltrano no such folder")) << "what cannot be read";
}

}  // namespace
