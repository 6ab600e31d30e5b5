#pragma once
#include <functional>
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

// Whether nobody but administrators may change the file or folder at a path
// (WritableOnlyByAdministrators on Windows).
using AdminOnlyCheck = std::function<bool(const std::string& path)>;

// Where the entry is after an update. Failed: it could not be written, or
// is still there where the program may remove it.
enum class AutorunResult { Machine, User, Removed, Failed };

// The value that starts the program at logon. Under the machine's Run key
// it starts the exe in every user's session, an administrator's included,
// so it goes there only when the program may write that key and nobody but
// administrators can replace the exe or its folder: the installed program,
// run elevated. Anywhere else it goes under the user's own Run key.
class Autorun {
public:
    Autorun(Registry& registry, std::string appFolder, AdminOnlyCheck adminOnly);
    // Writes or removes the entry as the box says. Not worth a message
    // either way: the result is for whoever wants to know.
    AutorunResult UpdateAutorun(const CheckValue& chkAutoRun);

private:
    AutorunResult Remove(bool machineWritable);

    Registry& registry_;
    std::string appFolder_;
    AdminOnlyCheck adminOnly_;
};
