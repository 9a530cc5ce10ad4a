#pragma once
#include <memory>
#include <type_traits>

#include <windows.h>
#include <bcrypt.h>

#include "platform/crypto.h"

namespace platform::win32 {

struct AlgorithmProviderCloser {
    void operator()(BCRYPT_ALG_HANDLE h) const noexcept {
        if (h) ::BCryptCloseAlgorithmProvider(h, 0);
    }
};
using UniqueAlgorithmProvider = std::unique_ptr<std::remove_pointer_t<BCRYPT_ALG_HANDLE>, AlgorithmProviderCloser>;

// The system's crypto (CNG). The HMAC-SHA256 provider is opened once, on first use, and kept.
class Win32Crypto final : public Crypto {
public:
    Win32Crypto() = default;
    Win32Crypto(const Win32Crypto&) = delete;
    Win32Crypto& operator=(const Win32Crypto&) = delete;

    bool Pbkdf2Sha256(const std::string& password, const std::vector<std::uint8_t>& salt, std::uint32_t iterations,
                      std::size_t length, std::vector<std::uint8_t>& out) override;
    bool RandomBytes(std::size_t count, std::vector<std::uint8_t>& out) override;

private:
    UniqueAlgorithmProvider m_hmacSha256;
};

} // namespace platform::win32
