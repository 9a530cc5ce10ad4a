#include "platform/native/openssl_crypto.h"

#include <climits>

#include <openssl/evp.h>
#include <openssl/rand.h>

namespace platform::native {

bool OpenSslCrypto::Pbkdf2Sha256(const std::string& password, const std::vector<std::uint8_t>& salt,
                                 std::uint32_t iterations, std::size_t length, std::vector<std::uint8_t>& out) {
    out.clear();
    // OpenSSL counts in int; anything beyond is refused rather than truncated.
    if (iterations == 0 || iterations > INT_MAX || length == 0 || length > INT_MAX || password.size() > INT_MAX ||
        salt.size() > INT_MAX)
        return false;
    static const unsigned char kNoSalt = 0; // a valid pointer for an empty salt
    std::vector<std::uint8_t> key(length);
    int ok = PKCS5_PBKDF2_HMAC(password.data(), static_cast<int>(password.size()),
                               salt.empty() ? &kNoSalt : salt.data(), static_cast<int>(salt.size()),
                               static_cast<int>(iterations), EVP_sha256(), static_cast<int>(length), key.data());
    if (ok != 1)
        return false;
    out = std::move(key);
    return true;
}

bool OpenSslCrypto::RandomBytes(std::size_t count, std::vector<std::uint8_t>& out) {
    out.clear();
    if (count > INT_MAX)
        return false;
    std::vector<std::uint8_t> bytes(count);
    if (count != 0 && RAND_bytes(bytes.data(), static_cast<int>(count)) != 1)
        return false;
    out = std::move(bytes);
    return true;
}

bool OpenSslCrypto::Sha256(const std::vector<std::uint8_t>& data, std::vector<std::uint8_t>& out) {
    out.clear();
    std::vector<std::uint8_t> digest(EVP_MAX_MD_SIZE);
    unsigned int length = 0;
    if (EVP_Digest(data.data(), data.size(), digest.data(), &length, EVP_sha256(), nullptr) != 1 || length != 32)
        return false;
    digest.resize(length);
    out = std::move(digest);
    return true;
}

} // namespace platform::native
