#include <windows.h>

#include "platform/Process.h"
#include "platform/WideText_win.h"

std::string RunningExePath() {
    // MAX_PATH is only a start: a long-path-aware system hands out longer
    // paths, and a cut path would point nowhere.
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) return {};
        if (n < path.size()) {
            path.resize(n);
            return Utf8FromWide(path);
        }
        path.resize(path.size() * 2);
    }
}

std::string SystemFolder() {
    wchar_t folder[MAX_PATH];
    const UINT n = GetSystemDirectoryW(folder, MAX_PATH);
    std::string path = n > 0 && n < MAX_PATH ? Utf8FromWide({folder, n}) : std::string("C:\\Windows\\System32");
    if (path.back() != '\\') path += '\\';
    return path;
}

void LoadDllsFromSystemFolderOnly() {
    // Windows 7 has the call only with update KB2533623, so it is looked up.
    using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
    const auto setDefault = reinterpret_cast<SetDefaultDllDirectoriesFn>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories")));
    if (setDefault && setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32)) return;
    // Without it the program's folder stays on the search path, but the
    // current folder at least comes off it.
    SetDllDirectoryW(L"");
}

void EndProgram() {
    ExitProcess(0);
}
