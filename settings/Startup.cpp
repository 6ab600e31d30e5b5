#include "settings/Startup.h"

#include "resources/Version.h"

std::string AlreadyRunningText() {
    return std::string(kAppTitle) + " is already running! Did you check your tray icon area?";
}

std::string BuildTitleText(const ProgramVersion& version) {
    return version.productName + " v." + std::to_string(version.major) + "." + std::to_string(version.minor) +
           "   (build " + std::to_string(version.revision) + ")";
}

ProgramVersion RunningProgramVersion() {
    return {VELTRANO_PRODUCT_NAME, VELTRANO_VERSION_MAJOR, VELTRANO_VERSION_MINOR, VELTRANO_VERSION_BUILD};
}
