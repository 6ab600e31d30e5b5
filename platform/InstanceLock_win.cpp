#include "platform/InstanceLock_win.h"

InstanceLock::InstanceLock(const std::string& name) : mutex_(CreateMutexA(nullptr, FALSE, name.c_str())) {
    const DWORD error = GetLastError();
    // A mutex made by an instance that runs as administrator cannot be
    // opened by a plain one: it is there all the same.
    anotherRunning_ = error == ERROR_ALREADY_EXISTS || (!mutex_ && error == ERROR_ACCESS_DENIED);
}
