#pragma once
#include <cstddef>

// Fills out with size bytes from the operating system's generator, fit for
// keys. False when it could not, and then out must not be used.
bool RandomBytes(void* out, std::size_t size);
