#pragma once
#include "platform/crypto.h"

namespace platform::native {

// The native build's crypto, over OpenSSL's libcrypto; the same results as the system's on Windows.
class OpenSslCrypto final : public Crypto {
public:
    bool Pbkdf2Sha256(const std::string& password, const std::vector<std::uint8_t>& salt, std::uint32_t iterations,
                      std::size_t length, std::vector<std::uint8_t>& out) override;
    bool RandomBytes(std::size_t count, std::vector<std::uint8_t>& out) override;
    bool Sha256(const std::vector<std::uint8_t>& data, std::vector<std::uint8_t>& out) override;
};

} // namespace platform::native
