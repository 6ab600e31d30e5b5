#include <windows.h>

#include "platform/Process.h"
#include "platform/Win32InstanceLock.h"

std::string RunningExePath() {
    // MAX_PATH is only a start: a long-path-aware system hands out longer
    // paths, and a cut path would point nowhere.
    std::string path(MAX_PATH, '\0');
    for (;;) {
        const DWORD n = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) return {};
        if (n < path.size()) {
            path.resize(n);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

void EndProgram() {
    ExitProcess(0);
}

InstanceLock::InstanceLock(const std::string& name) : mutex_(CreateMutexA(nullptr, FALSE, name.c_str())) {
    const DWORD error = GetLastError();
    // A mutex made by an instance that runs as administrator cannot be
    // opened by a plain one: it is there all the same.
    anotherRunning_ = error == ERROR_ALREADY_EXISTS || (!mutex_ && error == ERROR_ACCESS_DENIED);
}
