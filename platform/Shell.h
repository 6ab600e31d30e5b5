#pragma once
#include <string>
#include <string_view>

// Hands the user over to programs outside this one. Neither call waits for
// what it started nor reports a failure to the user: a missing editor or
// browser must never end or block the program. Texts are UTF-8.
class Shell {
public:
    virtual ~Shell() = default;
    // Opens a document or a web address with the program that the user's
    // system associates with it (ShellExecute, verb "Open").
    virtual void OpenDocument(const std::string& target) = 0;
    // Starts a command line, its window shown normally with the focus. The
    // program is named by its full path, in quotation marks. False when it
    // could not be started; callers are free to ignore that.
    virtual bool StartCommandLine(const std::string& commandLine) = 0;
};

// A program of Windows' own folder (SystemFolder, ending in a backslash) in
// quotation marks, so that no blank in the folder can split it.
inline std::string SystemProgram(std::string_view systemFolder, std::string_view exeName) {
    std::string quoted = "\"";
    quoted += systemFolder;
    quoted += exeName;
    quoted += '"';
    return quoted;
}

// The Date and Time control panel.
inline std::string DateTimeCommandLine(std::string_view systemFolder) {
    return SystemProgram(systemFolder, "rundll32.exe") + " shell32.dll,Control_RunDLL timedate.cpl,,0";
}
