#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace platform {

class Crypto {
public:
    virtual ~Crypto() = default;
    // PBKDF2-HMAC-SHA256. False when the system refuses; out is then left empty.
    virtual bool Pbkdf2Sha256(const std::string& password, const std::vector<std::uint8_t>& salt,
                              std::uint32_t iterations, std::size_t length, std::vector<std::uint8_t>& out) = 0;
    // Cryptographically strong random bytes. False when the system refuses.
    virtual bool RandomBytes(std::size_t count, std::vector<std::uint8_t>& out) = 0;
    // The SHA-256 digest of data (32 bytes). False when the system refuses; out is then left empty.
    virtual bool Sha256(const std::vector<std::uint8_t>& data, std::vector<std::uint8_t>& out) = 0;
};

} // namespace platform
