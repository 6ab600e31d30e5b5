#pragma once
#include <cstddef>

// Mbed TLS as built here (cmake/mbedtls_config.h) has no entropy of its own:
// PSA crypto draws every random byte from RandomBytes (platform/Random.h)
// through mbedtls_psa_external_get_random, defined in TlsRandom.cpp.

// The generator for mbedtls_ssl_conf_rng(&config, TlsRandom, nullptr), after
// psa_crypto_init() has succeeded. Returns 0, or an Mbed TLS error code.
int TlsRandom(void* unused, unsigned char* out, std::size_t size);
