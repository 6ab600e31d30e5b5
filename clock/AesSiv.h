#pragma once
#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// AES-SIV with CMAC and a 256-bit key (the first half for the CMAC, the
// second for the counter mode): the AEAD that NTS uses. The synthetic IV is
// a CMAC over every associated data component and the plaintext, so a
// repeated nonce reveals only that two messages were equal, and the tag is
// the IV itself.
inline constexpr size_t kAesSivTagLength = 16;
using AesSivKey = std::array<unsigned char, 32>;

// The IV followed by the ciphertext. A nonce, when there is one, is the last
// associated data component.
std::string AesSivEncrypt(const AesSivKey& key, const std::vector<std::string_view>& associated,
                          std::string_view plaintext);
// The plaintext, or nothing when anything sealed or associated was changed.
std::optional<std::string> AesSivDecrypt(const AesSivKey& key, const std::vector<std::string_view>& associated,
                                         std::string_view sealed);
