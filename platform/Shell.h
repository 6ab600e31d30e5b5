#pragma once
#include <string>
#include <string_view>

// Hands the user over to programs outside this one. Neither call waits for
// what it started nor reports a failure to the user: a missing editor or
// browser must never end or block the program.
class Shell {
public:
    virtual ~Shell() = default;
    // Opens a document or a web address with the program that the user's
    // system associates with it (ShellExecuteA, verb "Open").
    virtual void OpenDocument(const std::string& target) = 0;
    // Starts a command line, its window shown normally with the focus. The
    // system finds the program on its search path. False when it could not
    // be started; callers are free to ignore that.
    virtual bool StartCommandLine(const std::string& commandLine) = 0;
};

// The Date and Time control panel.
inline constexpr std::string_view kDateTimeCommandLine = "rundll32.exe shell32.dll,Control_RunDLL timedate.cpl,,0";
