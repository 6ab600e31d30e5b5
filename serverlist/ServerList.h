#pragma once
#include <string>
#include <string_view>

#include "serverlist/ServerEntry.h"

inline constexpr const char* kServerListFileName = "ntp_servers.txt";

// The editor on the server list. No quotation marks around the path: Notepad
// takes the whole rest of its command line as the file name, blanks included.
inline std::string EditServerListCommandLine(std::string_view appFolder) {
    std::string line = "notepad.exe ";
    line += appFolder;
    line += kServerListFileName;
    return line;
}

// The part of text before its first NUL, or all of it. The result views text.
std::string_view StripNull(std::string_view text);

// Replaces table with one entry per line of bytes. A line ends with CR LF or
// a lone CR; a lone LF is part of the line. Bytes holding no line leave the
// table as it was. With complete false the bytes stop where a read failed,
// so a last line whose end was never read does not count.
void ParseServerList(std::string_view bytes, bool complete, ServerTable& table);

// Reads appFolder + "ntp_servers.txt" in one go and parses it as above. A file
// that cannot be opened leaves the table as it was. Never throws, never tells.
void LoadServerList(const std::string& appFolder, ServerTable& table);
