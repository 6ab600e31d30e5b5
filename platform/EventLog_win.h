#pragma once
#include <windows.h>

#include "platform/EventLog.h"

// Entries of the source "Veltrano" in the Application log. The setup names
// the exe as the source's message file, whose table (Messages.mc) holds one
// message, the text itself, for each severity used: the Event Viewer shows
// the whole text, with no note that the description was not found.
class Win32EventLog final : public EventLog {
public:
    Win32EventLog();
    ~Win32EventLog() override;
    Win32EventLog(const Win32EventLog&) = delete;
    Win32EventLog& operator=(const Win32EventLog&) = delete;

    void Report(const std::string& text) override;
    // Why the service could not go on.
    void ReportError(const std::string& text);

private:
    void Write(WORD type, DWORD id, const std::string& text);

    HANDLE source_;  // null when the log cannot be reached: reports go nowhere
};
