#include "settings/Autorun.h"

#include <utility>

std::string AutorunCommand(const std::string& appFolder) {
    const std::string path = appFolder + kAutorunExeName;
    if (path.find(' ') == std::string::npos) return path;
    return "\"" + path + "\"";
}

Autorun::Autorun(Registry& registry, std::string appFolder, AdminOnlyCheck adminOnly)
    : registry_(registry), appFolder_(std::move(appFolder)), adminOnly_(std::move(adminOnly)) {}

AutorunResult Autorun::UpdateAutorun(const CheckValue& chkAutoRun) {
    using enum RegistryRoot;
    const bool machineWritable = registry_.MayWrite(LocalMachine, kRunKey);
    if (chkAutoRun.Value() != 1) return Remove(machineWritable);

    const std::string command = AutorunCommand(appFolder_);
    if (machineWritable && adminOnly_(appFolder_) && adminOnly_(appFolder_ + kAutorunExeName) &&
        registry_.StoreRegistryValue(LocalMachine, kRunKey, kAutorunValueName, command, RegistryValueType::String)) {
        // One entry: with both, this user's logon would start the program twice.
        registry_.DeleteRegistryValue(CurrentUser, kRunKey, kAutorunValueName);
        return AutorunResult::Machine;
    }
    if (!registry_.StoreRegistryValue(CurrentUser, kRunKey, kAutorunValueName, command, RegistryValueType::String))
        return AutorunResult::Failed;
    // A machine entry that an earlier version wrote for a folder anyone may
    // change would go on starting that exe for everyone.
    if (machineWritable) registry_.DeleteRegistryValue(LocalMachine, kRunKey, kAutorunValueName);
    return AutorunResult::User;
}

// From wherever the program may remove it, the empty entry that earlier
// versions left when switched off included. A standard user cannot touch
// the machine's entry, which then is not this user's to switch off.
AutorunResult Autorun::Remove(bool machineWritable) {
    using enum RegistryRoot;
    const bool machineGone =
        !machineWritable || registry_.DeleteRegistryValue(LocalMachine, kRunKey, kAutorunValueName);
    const bool userGone = registry_.DeleteRegistryValue(CurrentUser, kRunKey, kAutorunValueName);
    return machineGone && userGone ? AutorunResult::Removed : AutorunResult::Failed;
}
