#include "common/password.h"

#include <algorithm>
#include <string_view>
#include <vector>

#include "common/hex.h"
#include "common/secure_wipe.h"

namespace common {
namespace {

constexpr std::string_view kPrefix = "pbkdf2-sha256$";
bool IsLowerHex(std::string_view text, std::size_t digits) {
    if (text.size() != digits)
        return false;
    for (char c : text)
        if (HexValue(c) < 0)
            return false;
    return true;
}

// Only called on text that IsLowerHex accepted.
std::vector<std::uint8_t> FromHex(std::string_view hex) {
    std::vector<std::uint8_t> bytes(hex.size() / 2);
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<std::uint8_t>(HexValue(hex[2 * i]) * 16 + HexValue(hex[2 * i + 1]));
    return bytes;
}

// Decimal, no sign, no leading zero, 1 .. max.
std::optional<std::uint32_t> ParseIterations(std::string_view text, std::uint32_t max) {
    if (text.empty() || text.size() > 10 || text[0] == '0')
        return std::nullopt;
    std::uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
    }
    if (value > max)
        return std::nullopt;
    return static_cast<std::uint32_t>(value);
}

// Compares without stopping at the first difference, so the time taken says nothing about where two
// texts part. Only the length may show, and a hash's length is public anyway.
bool EqualConstantTime(const std::uint8_t* a, std::size_t aSize, const std::uint8_t* b, std::size_t bSize) {
    std::size_t n = aSize < bSize ? aSize : bSize;
    unsigned diff = aSize == bSize ? 0u : 1u;
    for (std::size_t i = 0; i < n; ++i)
        diff |= static_cast<unsigned>(a[i] ^ b[i]);
    return diff == 0;
}

bool EqualConstantTime(const std::string& a, const std::string& b) {
    return EqualConstantTime(reinterpret_cast<const std::uint8_t*>(a.data()), a.size(),
                             reinterpret_cast<const std::uint8_t*>(b.data()), b.size());
}

} // namespace

Password::Password(platform::Crypto& crypto, std::uint32_t iterations, const platform::AnsiCodePage* legacy)
    : m_crypto(crypto),
      // Kept within what Parse accepts, so that every hash made here can be read back.
      m_iterations(iterations == 0 ? 1 : (iterations > kMaxIterations ? kMaxIterations : iterations)),
      m_legacy(legacy) {
    // Nothing is in force until the settings are loaded: a second copy of the program never loads them, and its
    // notice shows no default-password note.
    m_isDefault = false;
}

Password::~Password() {
    WipeString(m_pendingPlain);
    WipeString(m_toRehash);
}

void Password::TakePlain(const std::string& plain) {
    m_loaded = true;
    m_hash.reset();
    WipeString(m_pendingPlain);
    m_pendingPlain = plain;
    m_isDefault = plain == kDefault;
}

void Password::LoadStored(const std::string& stored) {
    // After a save the settings are loaded again at once: the text just stored needs no second hashing.
    if (m_knownStored && *m_knownStored == stored)
        return;
    WipeString(m_toRehash);

    if (stored.empty()) {
        TakePlain(kDefault);
    } else if (auto hash = Parse(stored)) {
        WipeString(m_pendingPlain);
        m_loaded = true;
        m_hash = std::move(hash);
        m_isDefault = Verify(*m_hash, kDefault);
    } else {
        TakePlain(stored);
    }
    m_knownStored = stored;
}

void Password::Set(const std::string& plain) {
    WipeString(m_toRehash);
    if (auto hash = MakeHash(plain)) {
        WipeString(m_pendingPlain);
        m_loaded = true;
        m_hash = std::move(hash);
        m_isDefault = plain == kDefault;
        m_knownStored = Format(*m_hash);
    } else {
        TakePlain(plain); // the system would not hash: keep the password usable rather than lose it
        m_knownStored.reset();
    }
}

bool Password::Matches(const std::string& typed) const {
    if (!m_loaded)
        return false;
    if (m_hash)
        return VerifyTyped(*m_hash, typed);
    return EqualConstantTime(typed, m_pendingPlain);
}

bool Password::VerifyTyped(const Hash& hash, const std::string& typed) const {
    if (Verify(hash, typed))
        return true;
    const bool ascii = std::all_of(typed.begin(), typed.end(), [](char c) { return (c & 0x80) == 0; });
    if (ascii || !m_legacy)
        return false;
    std::optional<std::string> bytes = m_legacy->Encode(typed);
    const bool matched = bytes && Verify(hash, *bytes);
    if (bytes)
        WipeString(*bytes);
    if (matched) {
        WipeString(m_toRehash);
        m_toRehash = typed;
    }
    return matched;
}

std::string Password::StoredForm() {
    if (!m_loaded)
        TakePlain(kDefault);
    if (m_hash && !m_toRehash.empty()) {
        if (auto fresh = MakeHash(m_toRehash)) {
            m_hash = std::move(fresh);
            m_knownStored = Format(*m_hash);
        }
        WipeString(m_toRehash);
    }
    if (!m_hash) {
        auto hash = MakeHash(m_pendingPlain);
        if (!hash)
            return m_pendingPlain; // read back later as a legacy plain value; hashing is tried again
        WipeString(m_pendingPlain);
        m_hash = std::move(hash);
        m_knownStored = Format(*m_hash);
    }
    return Format(*m_hash);
}

std::optional<Password::Hash> Password::Parse(const std::string& text) {
    std::string_view rest(text);
    if (rest.substr(0, kPrefix.size()) != kPrefix)
        return std::nullopt;
    rest.remove_prefix(kPrefix.size());

    std::size_t dollar = rest.find('$');
    if (dollar == std::string_view::npos)
        return std::nullopt;
    auto iterations = ParseIterations(rest.substr(0, dollar), kMaxIterations);
    if (!iterations)
        return std::nullopt;
    rest.remove_prefix(dollar + 1);

    dollar = rest.find('$');
    if (dollar == std::string_view::npos)
        return std::nullopt;
    std::string_view salt = rest.substr(0, dollar);
    std::string_view hash = rest.substr(dollar + 1);
    if (!IsLowerHex(salt, kSaltBytes * 2) || !IsLowerHex(hash, kHashBytes * 2))
        return std::nullopt;

    return Hash{*iterations, std::string(salt), std::string(hash)};
}

std::optional<Password::Hash> Password::MakeHash(const std::string& plain) {
    std::vector<std::uint8_t> salt;
    if (!m_crypto.RandomBytes(kSaltBytes, salt) || salt.size() != kSaltBytes)
        return std::nullopt;
    std::vector<std::uint8_t> derived;
    if (!m_crypto.Pbkdf2Sha256(plain, salt, m_iterations, kHashBytes, derived) || derived.size() != kHashBytes) {
        WipeBytes(derived);
        return std::nullopt;
    }
    Hash hash{m_iterations, ToHex(salt), ToHex(derived)};
    WipeBytes(derived);
    return hash;
}

bool Password::Verify(const Hash& hash, const std::string& typed) const {
    std::vector<std::uint8_t> expected = FromHex(hash.hashHex);
    std::vector<std::uint8_t> derived;
    bool ok = m_crypto.Pbkdf2Sha256(typed, FromHex(hash.saltHex), hash.iterations, expected.size(), derived) &&
              EqualConstantTime(derived.data(), derived.size(), expected.data(), expected.size());
    // The derived key stands for the typed text just as well as the text itself.
    WipeBytes(derived);
    return ok;
}

std::string Password::Format(const Hash& hash) {
    return std::string(kPrefix) + std::to_string(hash.iterations) + "$" + hash.saltHex + "$" + hash.hashHex;
}

} // namespace common
