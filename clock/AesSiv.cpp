#include "clock/AesSiv.h"

#include <mbedtls/aes.h>

#include <algorithm>

namespace {

using Block = std::array<unsigned char, 16>;

// An AES-128 key schedule, which Mbed TLS wipes when it is freed.
class Aes128 {
public:
    explicit Aes128(const unsigned char* key) {
        mbedtls_aes_init(&context_);
        // Fails only for a key size other than 128, 192 or 256 bits.
        mbedtls_aes_setkey_enc(&context_, key, 128);
    }
    ~Aes128() { mbedtls_aes_free(&context_); }
    Aes128(const Aes128&) = delete;
    Aes128& operator=(const Aes128&) = delete;

    Block Encrypt(const Block& in) {
        Block out;
        mbedtls_aes_crypt_ecb(&context_, MBEDTLS_AES_ENCRYPT, in.data(), out.data());
        return out;
    }

private:
    mbedtls_aes_context context_;
};

// Multiplication by x in GF(2^128), as the CMAC subkeys and the S2V chain
// use it.
Block Double(const Block& b) {
    Block d;
    for (size_t i = 0; i < 16; ++i) d[i] = static_cast<unsigned char>(b[i] << 1 | (i < 15 ? b[i + 1] >> 7 : 0));
    if (b[0] & 0x80) d[15] ^= 0x87;
    return d;
}

void Xor(Block& into, const void* from, size_t length = 16) {
    for (size_t i = 0; i < length; ++i) into[i] ^= static_cast<const unsigned char*>(from)[i];
}

class Cmac {
public:
    explicit Cmac(const unsigned char* key)
        : aes_(key), whole_(Double(aes_.Encrypt(Block{}))), padded_(Double(whole_)) {}

    Block Mac(std::string_view message) {
        // The last block, whole or padded, is told apart by the subkey mixed
        // into it; an empty message is one padded block.
        const size_t lastAt = message.empty() ? 0 : (message.size() - 1) / 16 * 16;
        Block x{};
        for (size_t at = 0; at < lastAt; at += 16) {
            Xor(x, message.data() + at);
            x = aes_.Encrypt(x);
        }
        const size_t rest = message.size() - lastAt;
        Xor(x, message.data() + lastAt, rest);
        if (rest < 16) x[rest] ^= 0x80;
        Xor(x, rest == 16 ? whole_.data() : padded_.data());
        return aes_.Encrypt(x);
    }

private:
    Aes128 aes_;
    Block whole_, padded_;
};

Block S2v(const unsigned char* key, const std::vector<std::string_view>& associated, std::string_view plaintext) {
    Cmac cmac(key);
    const Block zero{};
    Block d = cmac.Mac({reinterpret_cast<const char*>(zero.data()), zero.size()});
    for (const std::string_view a : associated) {
        d = Double(d);
        Xor(d, cmac.Mac(a).data());
    }
    if (plaintext.size() >= 16) {
        std::string t(plaintext);
        for (size_t i = 0; i < 16; ++i) t[t.size() - 16 + i] ^= static_cast<char>(d[i]);
        return cmac.Mac(t);
    }
    d = Double(d);
    Xor(d, plaintext.data(), plaintext.size());
    d[plaintext.size()] ^= 0x80;
    return cmac.Mac({reinterpret_cast<const char*>(d.data()), d.size()});
}

std::string Ctr(const unsigned char* key, Block counter, std::string_view in) {
    // Cleared so that implementations with a 64-bit counter agree.
    counter[8] &= 0x7F;
    counter[12] &= 0x7F;
    Aes128 aes(key);
    std::string out(in);
    for (size_t at = 0; at < out.size(); at += 16) {
        const Block pad = aes.Encrypt(counter);
        for (size_t i = 0; i < 16 && at + i < out.size(); ++i) out[at + i] ^= static_cast<char>(pad[i]);
        for (size_t i = 16; i-- > 0 && ++counter[i] == 0;) {
        }
    }
    return out;
}

}  // namespace

std::string AesSivEncrypt(const AesSivKey& key, const std::vector<std::string_view>& associated,
                          std::string_view plaintext) {
    const Block iv = S2v(key.data(), associated, plaintext);
    return std::string(iv.begin(), iv.end()) + Ctr(key.data() + 16, iv, plaintext);
}

std::optional<std::string> AesSivDecrypt(const AesSivKey& key, const std::vector<std::string_view>& associated,
                                         std::string_view sealed) {
    if (sealed.size() < kAesSivTagLength) return std::nullopt;
    Block iv;
    std::copy_n(sealed.begin(), iv.size(), iv.begin());
    std::string plaintext = Ctr(key.data() + 16, iv, sealed.substr(kAesSivTagLength));
    const Block expected = S2v(key.data(), associated, plaintext);
    // Every byte compared, whatever the first difference: the time taken
    // tells a forger nothing about how close the tag came.
    unsigned char difference = 0;
    for (size_t i = 0; i < iv.size(); ++i) difference |= static_cast<unsigned char>(expected[i] ^ iv[i]);
    if (difference != 0) return std::nullopt;
    return plaintext;
}
