#pragma once
#include <windows.h>

#include <string>

#include "platform/UniqueHandle_win.h"

// A named mutex that the first instance of the program holds for its whole
// run. Any later start, from whichever folder, finds the name taken.
class InstanceLock {
public:
    explicit InstanceLock(const std::string& name);
    bool AnotherInstanceRunning() const { return anotherRunning_; }

private:
    UniqueKernelHandle mutex_;
    bool anotherRunning_ = false;
};
