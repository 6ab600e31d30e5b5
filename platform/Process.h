#pragma once
#include <string>

// The full path of the running exe, in UTF-8.
std::string RunningExePath();

// Windows' own program folder (System32), ending in one backslash, in UTF-8.
// The outside tools are started from here by their full path: by bare name,
// Windows would look in this program's folder and the current one first.
std::string SystemFolder();

// Called first thing: every DLL loaded by name from then on, by this program
// or by Windows on its behalf, comes from the system folder only, never from
// the program's folder (a Downloads folder, say) or the current one.
void LoadDllsFromSystemFolderOnly();

// Ends the process at once: no window procedure runs again (no close or
// destroy handler), the system closes what is still open, the exit code is 0.
// Callers take the tray icon away first; nothing else will.
[[noreturn]] void EndProgram();
