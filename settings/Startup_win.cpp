#include "platform/Process.h"
#include "resources/resource.h"
#include "settings/AppFolder.h"
#include "settings/Startup.h"

std::string InitAppFolder() {
    return AppFolderFromExePath(RunningExePath());
}

ProgramVersion RunningProgramVersion() {
    if (auto version = ReadProgramVersion(RunningExePath())) return *version;
    return {std::string(kAppTitle), VELTRANO_VERSION_MAJOR, VELTRANO_VERSION_MINOR, VELTRANO_VERSION_BUILD};
}
