#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "platform/crypto.h"

namespace gate {

// The password in force. It is kept and stored as a salted PBKDF2-HMAC-SHA256 hash, never as plain text:
//
//     pbkdf2-sha256$<iterations>$<salt: 32 lower-case hex digits>$<hash: 64 lower-case hex digits>
//
// e.g. "pbkdf2-sha256$600000$00112233445566778899aabbccddeeff$<64 hex>". A stored text that is empty means the
// default password PASSAGE; any other text not of that form is a password stored in plain text by an earlier
// version: it is accepted as it stands and written back as a hash at the next save.
class Password {
public:
    static constexpr const char* kDefault = "PASSAGE";
    static constexpr std::uint32_t kIterations = 600000;
    static constexpr std::size_t kSaltBytes = 16;
    static constexpr std::size_t kHashBytes = 32;

    // iterations: what new hashes use (tests pass fewer to stay quick).
    explicit Password(platform::Crypto& crypto, std::uint32_t iterations = kIterations);

    // Takes the stored Auth1 text as the password in force.
    void LoadStored(const std::string& stored);
    // Puts a new password in force at once (set-password dialog); hashes it at once, the plain text is not kept.
    void Set(const std::string& plain);
    // Exact, case-sensitive comparison of the whole typed text.
    bool Matches(const std::string& typed) const;
    // True when the password in force is PASSAGE. Decided once per change, not per call.
    bool IsDefault() const { return m_isDefault; }
    // The text to store as Auth1: the hash form. Hashes at most once per change of the password.
    std::string StoredForm();

    // Parses the hash form; nullopt for any other text.
    struct Hash {
        std::uint32_t iterations = 0;
        std::string saltHex;
        std::string hashHex;
    };
    static std::optional<Hash> Parse(const std::string& text);

private:
    std::string MakeHash(const std::string& plain);
    bool Verify(const Hash& hash, const std::string& typed) const;

    platform::Crypto& m_crypto;
    std::uint32_t m_iterations;
    // Exactly one of these describes the password in force: a parsed hash, or a plain text that has
    // not been hashed yet (the default, or a legacy stored value, both readable in the store anyway).
    std::optional<Hash> m_hash;
    std::string m_pendingPlain;
    bool m_isDefault = true;
};

} // namespace gate
