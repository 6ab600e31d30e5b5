#pragma once
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

// A file opened to read its bytes as they are, closed by its owner.
struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using UniqueFile = std::unique_ptr<std::FILE, FileCloser>;

// Opens the file at a UTF-8 path, or gives none. Windows takes the path
// whole through the wide open: through the ANSI code page, a folder named in
// another script would not be found.
UniqueFile OpenForReading(const std::string& utf8Path);

// The size in bytes of a file just opened, or -1 when it cannot be told.
// Windows' ftell is 32-bit, so it would fail on a file of 2 GB or more.
int64_t FileSize(std::FILE* file);

#ifdef _WIN32
inline int64_t FileSize(std::FILE* file) {
    if (_fseeki64(file, 0, SEEK_END) != 0) return -1;
    const int64_t size = _ftelli64(file);
    return _fseeki64(file, 0, SEEK_SET) == 0 ? size : -1;
}
#else
inline UniqueFile OpenForReading(const std::string& utf8Path) { return UniqueFile(std::fopen(utf8Path.c_str(), "rb")); }

inline int64_t FileSize(std::FILE* file) {
    if (fseeko(file, 0, SEEK_END) != 0) return -1;
    const int64_t size = ftello(file);
    return fseeko(file, 0, SEEK_SET) == 0 ? size : -1;
}
#endif
