#include "platform/Random.h"

#include <windows.h>
#include <ntsecapi.h>

#include <algorithm>

bool RandomBytes(void* out, std::size_t size) {
    // RtlGenRandom lives in advapi32, a KnownDLL; BCryptGenRandom would bring
    // in bcrypt.dll, which a file planted beside the exe could stand in for.
    auto* bytes = static_cast<unsigned char*>(out);
    while (size > 0) {
        const ULONG piece = static_cast<ULONG>(std::min<std::size_t>(size, 1u << 20));
        if (!RtlGenRandom(bytes, piece)) return false;
        bytes += piece;
        size -= piece;
    }
    return true;
}
