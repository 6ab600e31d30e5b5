#include "platform/ReadOnlyFile.h"

#include "platform/WideText_win.h"

UniqueFile OpenForReading(const std::string& utf8Path) {
    return UniqueFile(_wfopen(WideFromUtf8(utf8Path).c_str(), L"rb"));
}
