#include "platform/Process.h"
#include "settings/AppFolder.h"

std::string InitAppFolder() {
    return AppFolderFromExePath(RunningExePath());
}
