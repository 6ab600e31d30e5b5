#pragma once
#include <windows.h>

#include "platform/EventLog.h"

// Entries of the source "Veltrano" in the Application log. No message file
// is registered, so the Event Viewer shows the text with a note that the
// description was not found; the text itself is all there.
class Win32EventLog final : public EventLog {
public:
    Win32EventLog();
    ~Win32EventLog() override;
    Win32EventLog(const Win32EventLog&) = delete;
    Win32EventLog& operator=(const Win32EventLog&) = delete;

    void Report(const std::string& text) override;

private:
    HANDLE source_;  // null when the log cannot be reached: reports go nowhere
};
