#include <windows.h>
#include <objbase.h>
#include <shellapi.h>

#include "platform/Shell_win.h"
#include "platform/UniqueHandle_win.h"
#include "platform/WideText_win.h"

void Win32Shell::OpenDocument(const std::string& target) {
    // No owner window: the browser or viewer is a program of its own, and a
    // failure shows no message of the shell's either.
    ShellExecuteW(nullptr, L"open", WideFromUtf8(target).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

bool Win32Shell::StartCommandLine(const std::string& commandLine) {
    // CreateProcessW may write into the command line, so it gets a copy.
    std::wstring line = WideFromUtf8(commandLine);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESHOWWINDOW;
    si.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return false;
    // Nothing of the started program is kept.
    UniqueKernelHandle process(pi.hProcess), thread(pi.hThread);
    return true;
}

ComApartment::ComApartment()
    : initialised_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE))) {}

ComApartment::~ComApartment() {
    if (initialised_) CoUninitialize();
}
