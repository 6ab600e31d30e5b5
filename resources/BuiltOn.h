#pragma once
#include "platform/SystemClock.h"
#include "resources/BuildDate.h"

// The build's date, which CMake writes as yyyymmdd into BuildDate.h. The
// window and the service both refuse any time before it.
inline SystemTime BuiltOn() {
    constexpr int kDate = VELTRANO_BUILT_ON;
    SystemTime t;
    t.wYear = kDate / 10000;
    t.wMonth = kDate / 100 % 100;
    t.wDay = kDate % 100;
    return t;
}
