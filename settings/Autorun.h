#pragma once
#include <string>

#include "platform/Controls.h"
#include "platform/Registry.h"

inline constexpr const char* kRunKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr const char* kAutorunValueName = "Dravelquin";
inline constexpr const char* kAutorunExeName = "Veltrano.exe";

// appFolder (ending in a backslash) + "Veltrano.exe", in quotation marks when
// it holds a blank: unquoted, Windows would try C:\Program.exe first for a
// program under C:\Program Files, and anyone who can plant that file would
// run at every logon.
std::string AutorunCommand(const std::string& appFolder);

// The machine-wide entry that starts the program at logon. It is never read
// back and never deleted: switching autorun off empties it.
class Autorun {
public:
    Autorun(Registry& registry, std::string appFolder, std::string runKey = kRunKey);
    void UpdateAutorun(const CheckValue& chkAutoRun);

private:
    Registry& registry_;
    std::string appFolder_;
    std::string runKey_;
};
