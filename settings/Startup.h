#pragma once
#include <string>
#include <string_view>

#include "platform/VersionInfo.h"

// The application title: the caption of every message box.
inline constexpr std::string_view kAppTitle = "Veltrano";

inline constexpr std::string_view kExitQuestion = "Do you really want to close this application?";

// The name that marks a running instance. "Local\" keeps it to the user's
// own session, where the tray icon of that instance is.
inline constexpr std::string_view kInstanceLockName = "Local\\Korvane.Veltrano.Instance";

// Shown, with an OK button only, to a second start; nothing else is done.
std::string AlreadyRunningText();

// TitleText: "Korvane Veltrano v.1.2   (build 44)" for version 1.2, build 44.
std::string BuildTitleText(const ProgramVersion& version);

// The running exe's own version resource. Should it be unreadable, the
// numbers the program was built with and the application title stand in.
// Windows build only.
ProgramVersion RunningProgramVersion();
