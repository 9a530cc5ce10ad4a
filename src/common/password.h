#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "platform/ansi_code_page.h"
#include "platform/crypto.h"

namespace common {

// The password in force. It is kept and stored as a salted PBKDF2-HMAC-SHA256 hash, never as plain text:
//
//     pbkdf2-sha256$<iterations>$<salt: 32 lower-case hex digits>$<hash: 64 lower-case hex digits>
//
// e.g. "pbkdf2-sha256$600000$00112233445566778899aabbccddeeff$<64 hex>". A stored text that is empty means the
// default password PASSAGE; any other text not of that form is a password stored in plain text by an earlier
// version: it is accepted as it stands and written back as a hash at the next save.
//
// "Of that form" is strict: the prefix, an iteration count of 1 to kMaxIterations in decimal without leading
// zeros, exactly 32 and 64 lower-case hex digits, nothing after. A text that starts like a hash but breaks any
// of these (hand-edited, cut short, an iteration count that would stall the prompt) is not a usable hash, so
// it is taken like any other non-hash text: as a plain password, typed exactly as stored. That keeps a damaged
// value from crashing or locking everyone out, and the next save turns it into a proper hash.
//
// Cost: hashing is slow on purpose, so it is done at most once per change. LoadStored of a hash checks it
// against PASSAGE once (for IsDefault); loading the very text that was last loaded or produced by StoredForm
// reuses what is known and hashes nothing. Set hashes at once; StoredForm hashes a plain password once.
// Matches hashes the typed text once when the password in force is a hash.
//
// If the system refuses to hash (no random bytes, no PBKDF2), nothing is lost: the password stays in force
// as plain text and StoredForm returns that plain text, which a later load reads as a legacy value.
//
// Text is UTF-8 and is hashed as such. An earlier release hashed the bytes of the ANSI code page: where a typed
// password does not match its UTF-8 hash, its bytes in that code page are tried too (only for text beyond ASCII,
// where the two differ), and a password that matched so is hashed again in UTF-8 by the next StoredForm.
class Password {
public:
    static constexpr const char* kDefault = "PASSAGE";
    static constexpr std::uint32_t kIterations = 600000;
    static constexpr std::size_t kSaltBytes = 16;
    static constexpr std::size_t kHashBytes = 32;
    // Above this a stored hash is taken as damaged: checking it would stall the prompt for minutes.
    static constexpr std::uint32_t kMaxIterations = 10000000;

    // iterations: what new hashes use (tests pass fewer to stay quick); legacy: the code page of earlier hashes.
    explicit Password(platform::Crypto& crypto, std::uint32_t iterations = kIterations,
                      const platform::AnsiCodePage* legacy = nullptr);
    Password(const Password&) = default;
    Password(Password&&) = default;
    Password& operator=(const Password&) = delete;
    Password& operator=(Password&&) = delete;
    // Wipes a plain text still held.
    ~Password();

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
    // A fresh salted hash of plain; nullopt when the system refuses.
    std::optional<Hash> MakeHash(const std::string& plain);
    bool Verify(const Hash& hash, const std::string& typed) const;
    static std::string Format(const Hash& hash);
    void TakePlain(const std::string& plain);

    bool VerifyTyped(const Hash& hash, const std::string& typed) const;

    platform::Crypto& m_crypto;
    std::uint32_t m_iterations;
    const platform::AnsiCodePage* m_legacy;
    // A password that matched a hash of its code-page bytes, to be hashed in UTF-8 by the next StoredForm.
    mutable std::string m_toRehash;
    // Exactly one of these describes the password in force: a parsed hash, or a plain text that has
    // not been hashed yet (the default, or a legacy stored value, both readable in the store anyway).
    std::optional<Hash> m_hash;
    std::string m_pendingPlain;
    bool m_isDefault = false;
    // False until a stored text is loaded or a password set: then nothing matches.
    bool m_loaded = false;
    // The stored text that describes exactly the password in force (last loaded or produced), so that
    // loading it again costs nothing; nullopt when no such text is known.
    std::optional<std::string> m_knownStored;
};

} // namespace common
