#include <windows.h>
#include <shellapi.h>

#include <vector>

#include "platform/UniqueHandle_win.h"
#include "platform/Win32Shell.h"

void Win32Shell::OpenDocument(const std::string& target) {
    // No owner window: the browser or viewer is a program of its own, and a
    // failure shows no message of the shell's either.
    ShellExecuteA(nullptr, "Open", target.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

bool Win32Shell::StartCommandLine(const std::string& commandLine) {
    // CreateProcessA may write into the command line, so it gets a copy.
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    STARTUPINFOA si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESHOWWINDOW;
    si.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return false;
    // Nothing of the started program is kept.
    UniqueKernelHandle process(pi.hProcess), thread(pi.hThread);
    return true;
}
