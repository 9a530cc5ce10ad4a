#pragma once
#include <windows.h>

#include <bcrypt.h>

#include "platform/crypto.h"
#include "platform/win32/win32_handles.h"

namespace platform::win32 {

// The system's crypto (CNG). The HMAC-SHA256 and SHA-256 providers are opened once, on first use, and kept.
class Win32Crypto final : public Crypto {
public:
    Win32Crypto() = default;
    Win32Crypto(const Win32Crypto&) = delete;
    Win32Crypto& operator=(const Win32Crypto&) = delete;

    bool Pbkdf2Sha256(const std::string& password, const std::vector<std::uint8_t>& salt, std::uint32_t iterations,
                      std::size_t length, std::vector<std::uint8_t>& out) override;
    bool RandomBytes(std::size_t count, std::vector<std::uint8_t>& out) override;
    bool Sha256(const std::vector<std::uint8_t>& data, std::vector<std::uint8_t>& out) override;

private:
    UniqueAlgorithmProvider m_hmacSha256;
    UniqueAlgorithmProvider m_sha256;
};

} // namespace platform::win32
