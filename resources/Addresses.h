#pragma once
#include <string>
#include <string_view>

// Where "&Help" and "&Website" lead. Both addresses live here and nowhere else.

// The help page ships beside the exe, so it opens without a network and
// always matches the version the user runs.
inline constexpr std::string_view kHelpPageFileName = "veltrano-help.html";

// Korvane's home page for the program.
inline constexpr std::string_view kWebsiteAddress = "https://www.korvane.example/veltrano/";

// appFolder ends in a backslash (AppFolder).
inline std::string HelpPageAddress(std::string_view appFolder) {
    std::string address(appFolder);
    address += kHelpPageFileName;
    return address;
}
