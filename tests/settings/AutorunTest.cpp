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

TEST(Autorun, MachineEntryOnlyForAnAdministratorsOwnFolderElseTheUsersAndOffRemovesWhatItMay) {
    const std::set<RegistryRoot> both{LocalMachine, CurrentUser}, user{CurrentUser};
    const std::set<std::string> installed{kFolder, kExe};
    const Case cases[] = {
        {"installed, elevated", 1, both, installed, {{{CurrentUser, kValue}, kOld}},
         {{{LocalMachine, kValue}, kCommand}}, AutorunResult::Machine},
        {"folder open to users", 1, both, {kExe}, {{{LocalMachine, kValue}, kOld}}, {{{CurrentUser, kValue}, kCommand}},
         AutorunResult::User},
        {"exe open to users", 1, both, {kFolder}, {}, {{{CurrentUser, kValue}, kCommand}}, AutorunResult::User},
        {"standard user", 1, user, installed, {{{LocalMachine, kValue}, kOld}},
         {{{LocalMachine, kValue}, kOld}, {{CurrentUser, kValue}, kCommand}}, AutorunResult::User},
        {"nothing stores", 1, both, installed, {}, {}, AutorunResult::Failed, true},
        {"off, elevated", 0, both, installed, {{{LocalMachine, kValue}, ""}, {{CurrentUser, kValue}, kOld}}, {},
         AutorunResult::Removed},
        {"off, standard user", 0, user, installed, {{{LocalMachine, kValue}, kOld}, {{CurrentUser, kValue}, kOld}},
         {{{LocalMachine, kValue}, kOld}}, AutorunResult::Removed},
        {"off, user key read-only", 0, {}, installed, {{{CurrentUser, kValue}, kOld}},
         {{{CurrentUser, kValue}, kOld}}, AutorunResult::Failed},
    };
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

}  // namespace
