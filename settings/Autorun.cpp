#include "settings/Autorun.h"

#include <utility>

std::string AutorunCommand(const std::string& appFolder) {
    const std::string path = appFolder + kAutorunExeName;
    if (path.find(' ') == std::string::npos) return path;
    return "\"" + path + "\"";
}

Autorun::Autorun(Registry& registry, std::string appFolder, std::string runKey)
    : registry_(registry), appFolder_(std::move(appFolder)), runKey_(std::move(runKey)) {}

void Autorun::UpdateAutorun(const CheckValue& chkAutoRun) {
    const std::string data = chkAutoRun.Value() == 1 ? AutorunCommand(appFolder_) : std::string();
    registry_.StoreRegistryValue(runKey_, kAutorunValueName, data, RegistryValueType::String);
}
