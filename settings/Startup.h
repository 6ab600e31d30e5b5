#pragma once
#include <cstdint>
#include <string>
#include <string_view>

// The application title: the caption of every message box.
inline constexpr std::string_view kAppTitle = "Veltrano";

inline constexpr std::string_view kExitQuestion = "Do you really want to close this application?";

// The name that marks a running instance. "Local\" keeps it to the user's
// own session, where the tray icon of that instance is.
inline constexpr std::string_view kInstanceLockName = "Local\\Korvane.Veltrano.Instance";

// Shown, with an OK button only, to a second start; nothing else is done.
std::string AlreadyRunningText();

// What the title and the tray tip show of the program's version. revision is
// the last of the four file version numbers (the build).
struct ProgramVersion {
    std::string productName;
    uint16_t major = 0;
    uint16_t minor = 0;
    uint16_t revision = 0;
};

// TitleText: "Korvane Veltrano v.1.2   (build 44)" for version 1.2, build 44.
std::string BuildTitleText(const ProgramVersion& version);

// The numbers and name the program was built with, the same that its version
// resource carries. Not read back from the exe: that would take VERSION.dll,
// which Windows looks for in the program's folder first.
ProgramVersion RunningProgramVersion();
