#include "platform/EventLog_win.h"

#include "platform/WideText_win.h"

Win32EventLog::Win32EventLog() : source_(RegisterEventSourceW(nullptr, L"Veltrano")) {}

Win32EventLog::~Win32EventLog() {
    if (source_) DeregisterEventSource(source_);
}

void Win32EventLog::Report(const std::string& text) {
    if (!source_) return;
    // An entry holds at most 31839 characters; a longer one is refused whole.
    const std::wstring wide = WideFromUtf8(text).substr(0, 31000);
    const wchar_t* strings[] = {wide.c_str()};
    ReportEventW(source_, EVENTLOG_INFORMATION_TYPE, 0, 0, nullptr, 1, 0, strings, nullptr);
}
