#include <gtest/gtest.h>
#include <mbedtls/aes.h>
#include <mbedtls/ssl.h>
#include "platform/TlsRandom.h"

TEST(TlsSmoke, GivesTheFips197AesBlockAndAnNtskeClientHello) {
    unsigned char key[16], plain[16], out[16];
    for (int i = 0; i < 16; ++i) key[i] = i, plain[i] = i * 0x11;
    mbedtls_aes_context aes{};
    mbedtls_aes_setkey_enc(&aes, key, 128), mbedtls_aes_crypt_ecb(&aes, MBEDTLS_AES_ENCRYPT, plain, out);
    EXPECT_EQ(std::string(out, out + 16), "\x69\xc4\xe0\xd8\x6a\x7b\x04\x30\xd8\xcd\xb7\x80\x70\xb4\xc5\x5a");
    const char* alpn[] = {"ntske/1", nullptr};
    mbedtls_ssl_config conf;
    mbedtls_ssl_context ssl;
    std::string hello;
    mbedtls_ssl_config_init(&conf), mbedtls_ssl_init(&ssl), psa_crypto_init();
    mbedtls_ssl_config_defaults(&conf, MBEDTLS_SSL_IS_CLIENT, MBEDTLS_SSL_TRANSPORT_STREAM, 0);
    mbedtls_ssl_conf_rng(&conf, TlsRandom, nullptr), mbedtls_ssl_conf_alpn_protocols(&conf, alpn);
    mbedtls_ssl_setup(&ssl, &conf), mbedtls_ssl_set_bio(&ssl, &hello, [](void* to, const unsigned char* b, size_t n) {
        return static_cast<std::string*>(to)->append(reinterpret_cast<const char*>(b), n), int(n); }, {}, {});
    mbedtls_ssl_handshake(&ssl);  // sends the hello, then finds nothing to read from
    EXPECT_NE(hello.substr(11, 32), std::string(32, '\0'));  // the random, after record and handshake headers
    EXPECT_NE(hello.find("ntske/1"), std::string::npos);
    mbedtls_ssl_free(&ssl), mbedtls_ssl_config_free(&conf);
}
