/* Mbed TLS as Veltrano uses it: a TLS 1.3 client for NTS key establishment
 * (ALPN, SNI, the key exporter, certificate chains checked by X.509) and AES
 * for the AES-SIV of NTS packets. Nothing else is built: every module left
 * out here is code that cannot be reached, and bytes that the exe does not
 * carry. Given to Mbed TLS's build as MBEDTLS_CONFIG_FILE by MbedTls.cmake. */
#ifndef VELTRANO_MBEDTLS_CONFIG_H
#define VELTRANO_MBEDTLS_CONFIG_H

/* The system: time for certificate validity, nothing else. Randomness comes
 * from platform/TlsRandom.cpp: Mbed TLS's own entropy on Windows imports
 * bcrypt.dll, which is not a KnownDLL, and a DLL of that name beside the exe
 * would be loaded in its place. */
#define MBEDTLS_HAVE_ASM
/* Required with MinGW, whose snprintf is msvcrt's, not C99's: Mbed TLS
 * puts its own in through this module. */
#define MBEDTLS_PLATFORM_C
#define MBEDTLS_HAVE_TIME
#define MBEDTLS_HAVE_TIME_DATE
#define MBEDTLS_NO_PLATFORM_ENTROPY
#define MBEDTLS_PSA_CRYPTO_EXTERNAL_RNG

/* PSA crypto: TLS 1.3 runs its key schedule through it. Keys live in
 * memory only. */
#define MBEDTLS_PSA_CRYPTO_C
#define MBEDTLS_USE_PSA_CRYPTO

/* Symmetric: the AEAD suites of TLS 1.3 (AES-GCM, ChaCha20-Poly1305) and AES
 * blocks for AES-SIV. AES-NI when the processor has it, for AES in constant
 * time; the tables otherwise, in their smaller form. */
#define MBEDTLS_CIPHER_C
#define MBEDTLS_AES_C
#define MBEDTLS_AESNI_C
#define MBEDTLS_AES_FEWER_TABLES
#define MBEDTLS_GCM_C
#define MBEDTLS_CHACHA20_C
#define MBEDTLS_POLY1305_C
#define MBEDTLS_CHACHAPOLY_C

/* Hashes, HMAC and HKDF for the key schedule and for signatures. */
#define MBEDTLS_MD_C
#define MBEDTLS_SHA224_C
#define MBEDTLS_SHA256_C
#define MBEDTLS_SHA384_C
#define MBEDTLS_SHA512_C
#define MBEDTLS_HKDF_C

/* Key exchange (x25519, P-256, P-384) and the signatures that servers and
 * their certificate chains use: ECDSA, RSA PKCS#1 v1.5 and RSA-PSS. */
#define MBEDTLS_BIGNUM_C
#define MBEDTLS_ECP_C
#define MBEDTLS_ECDH_C
#define MBEDTLS_ECDSA_C
#define MBEDTLS_ECP_DP_SECP256R1_ENABLED
#define MBEDTLS_ECP_DP_SECP384R1_ENABLED
#define MBEDTLS_ECP_DP_CURVE25519_ENABLED
#define MBEDTLS_RSA_C
#define MBEDTLS_PKCS1_V15
#define MBEDTLS_PKCS1_V21

/* Certificates: DER from the system store, PEM from a file. */
#define MBEDTLS_ASN1_PARSE_C
#define MBEDTLS_ASN1_WRITE_C
#define MBEDTLS_OID_C
#define MBEDTLS_PK_C
#define MBEDTLS_PK_PARSE_C
#define MBEDTLS_BASE64_C
#define MBEDTLS_PEM_PARSE_C
#define MBEDTLS_X509_USE_C
#define MBEDTLS_X509_CRT_PARSE_C
#define MBEDTLS_X509_RSASSA_PSS_SUPPORT

/* TLS: version 1.3 only, client only, a full handshake every time (NTS-KE
 * is one exchange on one connection: no tickets, no resumption). */
#define MBEDTLS_SSL_TLS_C
#define MBEDTLS_SSL_CLI_C
#define MBEDTLS_SSL_PROTO_TLS1_3
#define MBEDTLS_SSL_TLS1_3_KEY_EXCHANGE_MODE_EPHEMERAL_ENABLED
#define MBEDTLS_SSL_KEEP_PEER_CERTIFICATE
#define MBEDTLS_SSL_ALPN
#define MBEDTLS_SSL_SERVER_NAME_INDICATION
#define MBEDTLS_SSL_KEYING_MATERIAL_EXPORT
/* A server's records may be full size; ours are a request of a few dozen bytes. */
#define MBEDTLS_SSL_IN_CONTENT_LEN 16384
#define MBEDTLS_SSL_OUT_CONTENT_LEN 4096

#endif
