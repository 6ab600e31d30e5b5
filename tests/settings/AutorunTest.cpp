#include <gtest/gtest.h>

#include <set>

#include "fakes/FakeControls.h"
#include "fakes/FakeSettingsStore.h"
#include "settings/Autorun.h"

namespace {

using enum RegistryRoot;
const std::string kFolder = "C:\\Program Files\\Veltrano\\", kExe = kFolder + "Veltrano.exe";
const std::string kCommand = "\"C:\\Program Files\\Veltrano\\Veltrano.exe\"", kOld = "C:\\Old\\Veltrano.exe";
const std::string kValue = std::string(kRunKey) + "\\Dravelquin";

struct Case {
    const char* what;
    int checked;
    std::set<RegistryRoot> writable;
    std::set<std::string> adminOnly;  // the paths only administrators may change
    FakeRegistry::Values before, after;
    AutorunResult result;
    bool failStores = false;
};

void ExpectEntries(std::initializer_list<Case> cases) {
    for (const Case& c : cases) {
        FakeRegistry registry;
        registry.writable = c.writable, registry.values = c.before, registry.failStores = c.failStores;
        Autorun autorun(registry, kFolder, [&](const std::string& path) { return c.adminOnly.contains(path); });
        FakeCheckBox chkAutoRun;
        chkAutoRun.value = c.checked;
        EXPECT_EQ(autorun.UpdateAutorun(chkAutoRun), c.result) << c.what;
        EXPECT_EQ(registry.values, c.after) << c.what;
    }
}
const std::set<RegistryRoot> kBoth{LocalMachine, CurrentUser}, kUser{CurrentUser};
const std::set<std::string> kInstalled{kFolder, kExe};

TEST(Autorun, MachineEntryOnlyForAnAdministratorsOwnFolderElseTheUsers) {
    ExpectEntries({
        {"installed, elevated", 1, kBoth, kInstalled, {{{CurrentUser, kValue}, kOld}},
         {{{LocalMachine, kValue}, kCommand}}, AutorunResult::Machine},
        {"folder open to users", 1, kBoth, {kExe}, {{{LocalMachine, kValue}, kOld}},
         {{{CurrentUser, kValue}, kCommand}}, AutorunResult::User},
        {"exe open to users", 1, kBoth, {kFolder}, {}, {{{CurrentUser, kValue}, kCommand}}, AutorunResult::User},
        {"standard user", 1, kUser, kInstalled, {{{LocalMachine, kValue}, kOld}},
         {{{LocalMachine, kValue}, kOld}, {{CurrentUser, kValue}, kCommand}}, AutorunResult::User},
        {"nothing stores", 1, kBoth, kInstalled, {}, {}, AutorunResult::Failed, true},
    });
}

TEST(Autorun, OffRemovesWhatItMay) {
    ExpectEntries({
        {"elevated", 0, kBoth, kInstalled, {{{LocalMachine, kValue}, ""}, {{CurrentUser, kValue}, kOld}}, {},
         AutorunResult::Removed},
        {"standard user", 0, kUser, kInstalled, {{{LocalMachine, kValue}, kOld}, {{CurrentUser, kValue}, kOld}},
         {{{LocalMachine, kValue}, kOld}}, AutorunResult::Removed},
        {"user key read-only", 0, {}, kInstalled, {{{CurrentUser, kValue}, kOld}}, {{{CurrentUser, kValue}, kOld}},
         AutorunResult::Failed},
    });
}

}  // namespace
