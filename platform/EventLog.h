#pragma once
#include <string>

// The system's log of what applications did: Windows' Application event
// log. A service has no window to tell anyone, so what it changed goes here.
class EventLog {
public:
    virtual ~EventLog() = default;
    // One informational entry of the program's event source.
    virtual void Report(const std::string& text) = 0;
};
