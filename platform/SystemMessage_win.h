#pragma once
#include <windows.h>

#include <string>

// The system's own description of an error code, without the line end that
// FormatMessage appends.
inline std::string SystemMessage(DWORD code) {
    char buf[512] = {};
    DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
                             0, buf, sizeof buf, nullptr);
    while (n > 0 && (buf[n - 1] == '\r' || buf[n - 1] == '\n' || buf[n - 1] == ' ')) --n;
    if (n == 0) return "Unknown error";
    return std::string(buf, n);
}
