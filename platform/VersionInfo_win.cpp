#include <windows.h>

#include <cstdio>
#include <vector>

#include "platform/VersionInfo.h"

namespace {

// The string table to read: the first language the resource lists, else US
// English in Unicode, which is what our own resource script declares.
std::string StringBlock(const std::vector<char>& data) {
    struct Translation {
        WORD language;
        WORD codePage;
    };
    Translation* t = nullptr;
    UINT size = 0;
    char block[32] = "040904B0";
    if (VerQueryValueA(data.data(), "\\VarFileInfo\\Translation", reinterpret_cast<void**>(&t), &size) &&
        size >= sizeof(Translation)) {
        std::snprintf(block, sizeof block, "%04X%04X", t->language, t->codePage);
    }
    return std::string("\\StringFileInfo\\") + block + "\\";
}

}  // namespace

std::optional<ProgramVersion> ReadProgramVersion(const std::string& exePath) {
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeA(exePath.c_str(), &ignored);
    if (size == 0) return std::nullopt;
    std::vector<char> data(size);
    if (!GetFileVersionInfoA(exePath.c_str(), 0, size, data.data())) return std::nullopt;

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT fixedSize = 0;
    if (!VerQueryValueA(data.data(), "\\", reinterpret_cast<void**>(&fixed), &fixedSize) ||
        fixedSize < sizeof(VS_FIXEDFILEINFO)) {
        return std::nullopt;
    }
    ProgramVersion v;
    v.major = HIWORD(fixed->dwFileVersionMS);
    v.minor = LOWORD(fixed->dwFileVersionMS);
    v.revision = LOWORD(fixed->dwFileVersionLS);

    char* name = nullptr;
    UINT nameSize = 0;
    if (VerQueryValueA(data.data(), (StringBlock(data) + "ProductName").c_str(), reinterpret_cast<void**>(&name),
                       &nameSize) &&
        nameSize > 0) {
        v.productName.assign(name, strnlen(name, nameSize));
    }
    return v;
}
