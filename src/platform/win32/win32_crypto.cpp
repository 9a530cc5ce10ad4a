#include "platform/win32/win32_crypto.h"

#include <climits>

#include "platform/win32/win32_trace.h"

namespace platform::win32 {
namespace {

// CNG reports by status, not by the thread's last error: a failure is traced with its status.
bool Succeeded(const char* call, NTSTATUS status) {
    if (status >= 0)
        return true;
    TraceFailure(call, static_cast<unsigned long>(status));
    return false;
}

} // namespace

bool Win32Crypto::Pbkdf2Sha256(const std::string& password, const std::vector<std::uint8_t>& salt,
                               std::uint32_t iterations, std::size_t length, std::vector<std::uint8_t>& out) {
    out.clear();
    if (iterations == 0 || length == 0 || length > ULONG_MAX || password.size() > ULONG_MAX || salt.size() > ULONG_MAX)
        return false;
    if (!m_hmacSha256) {
        BCRYPT_ALG_HANDLE alg = nullptr;
        if (!Succeeded(
                "BCryptOpenAlgorithmProvider",
                ::BCryptOpenAlgorithmProvider(&alg, BCRYPT_SHA256_ALGORITHM, nullptr, BCRYPT_ALG_HANDLE_HMAC_FLAG)))
            return false;
        m_hmacSha256.reset(alg);
    }
    // CNG takes non-const pointers but only reads the password and the salt.
    static UCHAR noData = 0; // a valid pointer for an empty password or salt
    auto* pass = password.empty() ? &noData : reinterpret_cast<PUCHAR>(const_cast<char*>(password.data()));
    auto* saltBytes = salt.empty() ? &noData : const_cast<PUCHAR>(salt.data());
    std::vector<std::uint8_t> key(length);
    if (!Succeeded("BCryptDeriveKeyPBKDF2",
                   ::BCryptDeriveKeyPBKDF2(m_hmacSha256.get(), pass, static_cast<ULONG>(password.size()), saltBytes,
                                           static_cast<ULONG>(salt.size()), iterations, key.data(),
                                           static_cast<ULONG>(length), 0)))
        return false;
    out = std::move(key);
    return true;
}

bool Win32Crypto::RandomBytes(std::size_t count, std::vector<std::uint8_t>& out) {
    out.clear();
    if (count > ULONG_MAX)
        return false;
    std::vector<std::uint8_t> bytes(count);
    if (count != 0 && !Succeeded("BCryptGenRandom", ::BCryptGenRandom(nullptr, bytes.data(), static_cast<ULONG>(count),
                                                                      BCRYPT_USE_SYSTEM_PREFERRED_RNG)))
        return false;
    out = std::move(bytes);
    return true;
}

bool Win32Crypto::Sha256(const std::vector<std::uint8_t>& data, std::vector<std::uint8_t>& out) {
    out.clear();
    if (data.size() > ULONG_MAX)
        return false;
    if (!m_sha256) {
        BCRYPT_ALG_HANDLE alg = nullptr;
        if (!Succeeded("BCryptOpenAlgorithmProvider",
                       ::BCryptOpenAlgorithmProvider(&alg, BCRYPT_SHA256_ALGORITHM, nullptr, 0)))
            return false;
        m_sha256.reset(alg);
    }
    // The hash object is made and finished here; with no object buffer given, CNG keeps it itself.
    BCRYPT_HASH_HANDLE hash = nullptr;
    if (!Succeeded("BCryptCreateHash", ::BCryptCreateHash(m_sha256.get(), &hash, nullptr, 0, nullptr, 0, 0)))
        return false;
    UniqueHashHandle owner(hash);
    std::vector<std::uint8_t> digest(32);
    // CNG takes a non-const pointer but only reads the data.
    if (!data.empty() && !Succeeded("BCryptHashData", ::BCryptHashData(hash, const_cast<PUCHAR>(data.data()),
                                                                       static_cast<ULONG>(data.size()), 0)))
        return false;
    if (!Succeeded("BCryptFinishHash", ::BCryptFinishHash(hash, digest.data(), static_cast<ULONG>(digest.size()), 0)))
        return false;
    out = std::move(digest);
    return true;
}

} // namespace platform::win32
