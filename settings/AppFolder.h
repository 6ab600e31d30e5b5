#pragma once
#include <string>
#include <string_view>

// The folder part of an exe's path, ending in exactly one backslash, the
// form in which AppFolder is used: "C:\Tools\Veltrano.exe" gives "C:\Tools\",
// and "C:\Veltrano.exe" gives "C:\", not "C:\\".
std::string AppFolderFromExePath(std::string_view exePath);

// AppFolder for the running exe, in UTF-8; set once at start-up, before anything reads
// it. Windows build only.
std::string InitAppFolder();
