#pragma once
#include <string>
#include <string_view>

#include "platform/Shell.h"
#include "serverlist/ServerEntry.h"

inline constexpr const char* kServerListFileName = "ntp_servers.txt";

// Notepad from Windows' own folder (SystemFolder) on the server list, whose
// path is quoted like any argument that may hold a blank.
inline std::string EditServerListCommandLine(std::string_view systemFolder, std::string_view appFolder) {
    std::string line = SystemProgram(systemFolder, "notepad.exe") + " \"";
    line += appFolder;
    line += kServerListFileName;
    line += '"';
    return line;
}

// The part of text before its first NUL, or all of it. The result views text.
std::string_view StripNull(std::string_view text);

// Replaces table with one entry per line of bytes. A line ends with CR LF or
// a lone CR; a lone LF is part of the line. Bytes holding no line leave the
// table as it was. With complete false the bytes stop where a read failed,
// so a last line whose end was never read does not count.
void ParseServerList(std::string_view bytes, bool complete, ServerTable& table);

// Reads appFolder (UTF-8) + "ntp_servers.txt" whole and parses it as above. A
// file that cannot be opened leaves the table as it was. Never throws, never
// tells.
void LoadServerList(const std::string& appFolder, ServerTable& table);
