#include "settings/AppFolder.h"

std::string AppFolderFromExePath(std::string_view exePath) {
    const size_t cut = exePath.find_last_of("\\/");
    // A bare file name lies in the current folder.
    if (cut == std::string_view::npos) return ".\\";
    std::string folder(exePath.substr(0, cut));
    // Separators doubled by whoever built the path would end up doubled in
    // the server list's path and the autorun command.
    while (!folder.empty() && (folder.back() == '\\' || folder.back() == '/')) folder.pop_back();
    folder += '\\';
    return folder;
}
