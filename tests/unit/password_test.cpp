#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "common/password.h"
#include "platform/native/latin1_code_page.h"
#include "platform/native/openssl_crypto.h"

namespace {

// The real hashing with a count of how often it runs, and a switch that makes the system refuse.
class CountingCrypto : public platform::Crypto {
public:
    bool Pbkdf2Sha256(const std::string& password, const std::vector<std::uint8_t>& salt, std::uint32_t iterations,
                      std::size_t length, std::vector<std::uint8_t>& out) override {
        ++hashes;
        if (refuse)
            return false;
        return m_real.Pbkdf2Sha256(password, salt, iterations, length, out);
    }
    bool RandomBytes(std::size_t count, std::vector<std::uint8_t>& out) override {
        if (refuse)
            return false;
        return m_real.RandomBytes(count, out);
    }
    bool Sha256(const std::vector<std::uint8_t>& data, std::vector<std::uint8_t>& out) override {
        return m_real.Sha256(data, out);
    }
    int hashes = 0;
    bool refuse = false;

private:
    platform::native::OpenSslCrypto m_real;
};

constexpr std::uint32_t kFewIterations = 10;

class PasswordTest : public ::testing::Test {
protected:
    CountingCrypto crypto;
    common::Password password{crypto, kFewIterations};

    // A stored hash of plain, made by another Password as an earlier save would have.
    std::string StoredHashOf(const std::string& plain) {
        common::Password other(crypto, kFewIterations);
        other.Set(plain);
        return other.StoredForm();
    }
};

TEST_F(PasswordTest, StoredFormIsPrefixIterationsSaltAndHashInLowerHex) {
    password.Set("Secret");
    const std::string stored = password.StoredForm();
    EXPECT_TRUE(std::regex_match(stored, std::regex(R"(pbkdf2-sha256\$10\$[0-9a-f]{32}\$[0-9a-f]{64})"))) << stored;
    EXPECT_EQ(stored.find("Secret"), std::string::npos);
    ASSERT_TRUE(common::Password::Parse(stored));
    EXPECT_EQ(common::Password::Parse(stored)->iterations, 10u);
}

TEST_F(PasswordTest, SamePasswordGetsADifferentSaltEachTime) {
    EXPECT_NE(StoredHashOf("Secret"), StoredHashOf("Secret"));
}

TEST_F(PasswordTest, EmptyStoredTextIsTheDefaultPassage) {
    password.Set("other");
    password.LoadStored("");
    EXPECT_TRUE(password.IsDefault());
    EXPECT_TRUE(password.Matches("PASSAGE"));
}

TEST_F(PasswordTest, ComparisonIsExactAndCaseSensitive) {
    struct Case {
        const char* stored; // "" = default, "#hash:x" = a stored hash of x, else legacy plain text
        const char* typed;
        bool matches;
    };
    const Case cases[] = {
        {"", "PASSAGE", true},          {"", "passage", false},       {"", "Passage", false},
        {"", "PASSAGE ", false},        {"", " PASSAGE", false},      {"", "", false},
        {"Fish", "Fish", true},         {"Fish", "fish", false},      {"Fish", "Fis", false},
        {"Fish", "Fishy", false},       {"#hash:Fish", "Fish", true}, {"#hash:Fish", "FISH", false},
        {"#hash:Fish", "Fish ", false}, {"#hash:Fish", "", false},
    };
    for (const auto& c : cases) {
        std::string stored = c.stored;
        if (stored.rfind("#hash:", 0) == 0)
            stored = StoredHashOf(stored.substr(6));
        password.LoadStored(stored);
        EXPECT_EQ(password.Matches(c.typed), c.matches) << c.stored << " typed " << c.typed;
    }
}

TEST_F(PasswordTest, AHashOfCodePageBytesFromAnEarlierReleaseStillMatchesAndIsHashedAgainInUtf8) {
    const platform::native::Latin1CodePage latin1;
    common::Password upgraded{crypto, kFewIterations, &latin1};
    // An earlier release hashed the password's bytes in the ANSI code page.
    upgraded.LoadStored(StoredHashOf("M\xFCller1")); // "Müller1" in Latin-1
    EXPECT_TRUE(upgraded.Matches("Müller1"));
    EXPECT_FALSE(upgraded.Matches("Muller1"));

    const std::string stored = upgraded.StoredForm();
    common::Password later{crypto, kFewIterations};
    later.LoadStored(stored);
    EXPECT_TRUE(later.Matches("Müller1")) << "the next save stores a hash of the UTF-8 text";
}

TEST_F(PasswordTest, LegacyPlainTextIsAcceptedAndWrittenBackAsHash) {
    password.LoadStored("letmein");
    EXPECT_TRUE(password.Matches("letmein"));
    EXPECT_FALSE(password.IsDefault());
    const std::string stored = password.StoredForm();
    ASSERT_TRUE(common::Password::Parse(stored));

    common::Password reloaded(crypto, kFewIterations);
    reloaded.LoadStored(stored);
    EXPECT_TRUE(reloaded.Matches("letmein"));
    EXPECT_FALSE(reloaded.Matches("letmeinx"));
}

TEST_F(PasswordTest, IsDefaultFollowsEveryKindOfChange) {
    // Nothing loaded yet (a second copy never loads): no password is in force, so no note and no match.
    EXPECT_FALSE(password.IsDefault());
    EXPECT_FALSE(password.Matches("PASSAGE"));
    EXPECT_FALSE(password.Matches(""));
    password.LoadStored("");
    EXPECT_TRUE(password.IsDefault());
    EXPECT_TRUE(password.Matches("PASSAGE"));
    password.Set("Other");
    EXPECT_FALSE(password.IsDefault());
    password.Set("PASSAGE");
    EXPECT_TRUE(password.IsDefault());
    password.Set("passage");
    EXPECT_FALSE(password.IsDefault());
    password.LoadStored("PASSAGE"); // legacy plain text
    EXPECT_TRUE(password.IsDefault());
    password.LoadStored(StoredHashOf("PASSAGE"));
    EXPECT_TRUE(password.IsDefault());
    password.LoadStored(StoredHashOf("PASSAGEx"));
    EXPECT_FALSE(password.IsDefault());
}

TEST_F(PasswordTest, StoredFormRoundTripsThroughLoad) {
    for (const std::string plain : {"PASSAGE", "Secret", "with space", "x", "été", "Пароль"}) {
        password.Set(plain);
        common::Password reloaded(crypto, kFewIterations);
        reloaded.LoadStored(password.StoredForm());
        EXPECT_TRUE(reloaded.Matches(plain)) << plain;
        EXPECT_EQ(reloaded.IsDefault(), plain == "PASSAGE") << plain;
    }
}

TEST_F(PasswordTest, HashingHappensOncePerChange) {
    password.Set("Secret");
    EXPECT_EQ(crypto.hashes, 1);
    const std::string stored = password.StoredForm();
    password.StoredForm();
    EXPECT_EQ(crypto.hashes, 1) << "StoredForm after Set must not hash again";

    // The save is followed at once by a load of the same text.
    password.LoadStored(stored);
    EXPECT_EQ(crypto.hashes, 1) << "loading the text just produced must not hash";
    EXPECT_FALSE(password.IsDefault());

    // A default loaded from an empty value is hashed once, at the save.
    password.LoadStored("");
    crypto.hashes = 0;
    const std::string defaultStored = password.StoredForm();
    password.StoredForm();
    password.LoadStored(defaultStored);
    EXPECT_EQ(crypto.hashes, 1);
    EXPECT_TRUE(password.IsDefault());

    // Another stored hash is checked against PASSAGE once, then known.
    const std::string foreign = StoredHashOf("Foreign");
    crypto.hashes = 0;
    password.LoadStored(foreign);
    password.LoadStored(foreign);
    EXPECT_EQ(crypto.hashes, 1);
    for (int i = 0; i < 3; ++i)
        password.IsDefault();
    EXPECT_EQ(crypto.hashes, 1) << "IsDefault must not hash";
}

TEST_F(PasswordTest, MalformedHashTextIsTakenAsPlainText) {
    const std::string good = StoredHashOf("Secret");
    const std::string salt(32, 'a'), hash(64, 'b');
    const std::string malformed[] = {
        "pbkdf2-sha256$",
        "pbkdf2-sha256$$" + salt + "$" + hash,
        "pbkdf2-sha256$0$" + salt + "$" + hash,          // zero iterations
        "pbkdf2-sha256$4294967296$" + salt + "$" + hash, // beyond 32 bits
        "pbkdf2-sha256$99999999999999999999$" + salt + "$" + hash,
        "pbkdf2-sha256$10000001$" + salt + "$" + hash, // would stall the prompt
        "pbkdf2-sha256$-5$" + salt + "$" + hash,
        "pbkdf2-sha256$010$" + salt + "$" + hash,
        "pbkdf2-sha256$10$" + salt.substr(1) + "$" + hash,       // salt too short
        "pbkdf2-sha256$10$" + salt + "$" + hash + "0",           // hash too long
        "pbkdf2-sha256$10$" + std::string(32, 'g') + "$" + hash, // not hex
        "pbkdf2-sha256$10$" + std::string(32, 'A') + "$" + hash, // not the lower-case form
        "pbkdf2-sha256$10$" + salt + "$" + hash + "$",
        "pbkdf2-sha256$10$" + salt,
        good.substr(0, good.size() - 1), // cut short
        "PBKDF2-SHA256$10$" + salt + "$" + hash,
    };
    for (const auto& text : malformed) {
        EXPECT_FALSE(common::Password::Parse(text)) << text;
        password.LoadStored(text);
        EXPECT_TRUE(password.Matches(text)) << text;
        EXPECT_FALSE(password.IsDefault()) << text;
        EXPECT_TRUE(common::Password::Parse(password.StoredForm())) << "repaired at the next save: " << text;
    }
}

TEST_F(PasswordTest, TextWithEmbeddedNulIsAPlainPassword) {
    const std::string stored("ab\0cd", 5);
    password.LoadStored(stored);
    EXPECT_TRUE(password.Matches(stored));
    EXPECT_FALSE(password.Matches("ab"));
}

TEST_F(PasswordTest, RefusingSystemKeepsThePasswordUsable) {
    crypto.refuse = true;
    password.Set("Secret");
    EXPECT_TRUE(password.Matches("Secret"));
    EXPECT_FALSE(password.Matches("secret"));
    EXPECT_EQ(password.StoredForm(), "Secret"); // stored as legacy text rather than lost

    crypto.refuse = false;
    EXPECT_TRUE(common::Password::Parse(password.StoredForm()));
    EXPECT_TRUE(password.Matches("Secret"));
}

TEST_F(PasswordTest, CopyKeepsThePasswordInForce) {
    password.Set("Secret");
    common::Password copy(password);
    EXPECT_TRUE(copy.Matches("Secret"));
    common::Password moved(std::move(copy));
    EXPECT_TRUE(moved.Matches("Secret"));
}

} // namespace
