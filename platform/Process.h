#pragma once
#include <string>

// The full path of the running exe, as the system's ANSI code page spells it.
std::string RunningExePath();

// Ends the process at once: no window procedure runs again (no close or
// destroy handler), the system closes what is still open, the exit code is 0.
// Callers take the tray icon away first; nothing else will.
[[noreturn]] void EndProgram();
