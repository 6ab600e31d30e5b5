#include "platform/TlsRandom.h"

#include <mbedtls/error.h>
#include <psa/crypto.h>

#include "platform/Random.h"

// Called by PSA crypto, with C linkage as psa/crypto.h declares it, whenever
// it needs random bytes: key shares, nonces, blinding.
psa_status_t mbedtls_psa_external_get_random(mbedtls_psa_external_random_context_t*, uint8_t* output,
                                             size_t outputSize, size_t* outputLength) {
    if (!RandomBytes(output, outputSize)) {
        *outputLength = 0;
        return PSA_ERROR_INSUFFICIENT_ENTROPY;
    }
    *outputLength = outputSize;
    return PSA_SUCCESS;
}

int TlsRandom(void*, unsigned char* out, std::size_t size) {
    return psa_generate_random(out, size) == PSA_SUCCESS ? 0 : MBEDTLS_ERR_ERROR_GENERIC_ERROR;
}
