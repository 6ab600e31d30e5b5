#include "platform/EventLog_win.h"

#include "platform/WideText_win.h"
#include "resources/Messages.h"

Win32EventLog::Win32EventLog() : source_(RegisterEventSourceW(nullptr, L"Veltrano")) {}

Win32EventLog::~Win32EventLog() {
    if (source_) DeregisterEventSource(source_);
}

void Win32EventLog::Report(const std::string& text) {
    Write(EVENTLOG_INFORMATION_TYPE, MSG_SERVICE_INFORMATION, text);
}

void Win32EventLog::ReportError(const std::string& text) { Write(EVENTLOG_ERROR_TYPE, MSG_SERVICE_ERROR, text); }

void Win32EventLog::Write(WORD type, DWORD id, const std::string& text) {
    if (!source_) return;
    // An entry holds at most 31839 characters; a longer one is refused whole.
    const std::wstring wide = WideFromUtf8(text).substr(0, 31000);
    const wchar_t* strings[] = {wide.c_str()};
    ReportEventW(source_, type, 0, id, nullptr, 1, 0, strings, nullptr);
}
