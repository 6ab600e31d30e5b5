#include "platform/Random.h"

#include <sys/random.h>

#include <cerrno>

// The native build's generator, for the portable code's tests.
bool RandomBytes(void* out, std::size_t size) {
    auto* bytes = static_cast<unsigned char*>(out);
    while (size > 0) {
        // Requests over 256 bytes may be cut short, or broken off by a signal.
        const ssize_t got = getrandom(bytes, size, 0);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        bytes += got;
        size -= static_cast<std::size_t>(got);
    }
    return true;
}
