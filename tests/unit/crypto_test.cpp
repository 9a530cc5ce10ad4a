#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "platform/native/openssl_crypto.h"

namespace {

std::string Hex(const std::vector<std::uint8_t>& bytes) {
    std::string hex;
    char buf[3];
    for (auto b : bytes) {
        std::snprintf(buf, sizeof buf, "%02x", b);
        hex += buf;
    }
    return hex;
}

struct Vector {
    std::string password;
    std::string salt;
    std::uint32_t iterations;
    std::size_t length;
    const char* expected;
};

// The published PBKDF2-HMAC-SHA256 test vectors (the classic SHA-1 set recomputed for SHA-256, and the two
// of the scrypt paper). tests/e2e/crypto_kat.cpp checks the system's implementation against the same table.
const Vector kVectors[] = {
    {"password", "salt", 1, 32, "120fb6cffcf8b32c43e7225256c4f837a86548c92ccc35480805987cb70be17b"},
    {"password", "salt", 2, 32, "ae4d0c95af6b46d32d0adff928f06dd02a303f8ef3c251dfd6e2d85a95474c43"},
    {"password", "salt", 4096, 32, "c5e478d59288c841aa530db6845c4c8d962893a001ce4e11a4963873aa98134a"},
    {"passwordPASSWORDpassword", "saltSALTsaltSALTsaltSALTsaltSALTsalt", 4096, 40,
     "348c89dbcbd32b2f32d814b8116e84cf2b17347ebc1800181c4e2a1fb8dd53e1c635518c7dac47e9"},
    {std::string("pass\0word", 9), std::string("sa\0lt", 5), 4096, 16, "89b69d0516f829893c696226650a8687"},
    {"passwd", "salt", 1, 64,
     "55ac046e56e3089fec1691c22544b605f94185216dde0465e68b9d57c20dacbc"
     "49ca9cccf179b645991664b39d77ef317c71b845b1e30bd509112041d3a19783"},
    {"Password", "NaCl", 80000, 64,
     "4ddcd8f60b98be21830cee5ef22701f9641a4418d04c0414aeff08876b34ab56"
     "a1d425a1225833549adb841b51c9b3176a272bdebba1d078478f62b397f33c8d"},
};

TEST(OpenSslCrypto, Pbkdf2MatchesPublishedVectors) {
    platform::native::OpenSslCrypto crypto;
    for (const auto& v : kVectors) {
        std::vector<std::uint8_t> out;
        ASSERT_TRUE(crypto.Pbkdf2Sha256(v.password, {v.salt.begin(), v.salt.end()}, v.iterations, v.length, out))
            << v.password << " / " << v.iterations;
        EXPECT_EQ(Hex(out), v.expected) << v.password << " / " << v.iterations;
    }
}

TEST(OpenSslCrypto, EmptyPasswordAndSaltAreFine) {
    platform::native::OpenSslCrypto crypto;
    std::vector<std::uint8_t> out;
    ASSERT_TRUE(crypto.Pbkdf2Sha256("", {'s', 'a', 'l', 't'}, 1, 32, out));
    EXPECT_EQ(Hex(out), "f135c27993baf98773c5cdb40a5706ce6a345cde61b000a67858650cd6a324d7");
    EXPECT_TRUE(crypto.Pbkdf2Sha256("password", {}, 1, 32, out));
    EXPECT_EQ(out.size(), 32u);
}

TEST(OpenSslCrypto, RefusesZeroIterationsAndLeavesOutputEmpty) {
    platform::native::OpenSslCrypto crypto;
    std::vector<std::uint8_t> out{1, 2, 3};
    EXPECT_FALSE(crypto.Pbkdf2Sha256("password", {'s'}, 0, 32, out));
    EXPECT_TRUE(out.empty());
}

TEST(OpenSslCrypto, RandomBytesHaveTheAskedSizeAndDiffer) {
    platform::native::OpenSslCrypto crypto;
    std::vector<std::uint8_t> a, b;
    ASSERT_TRUE(crypto.RandomBytes(16, a));
    ASSERT_TRUE(crypto.RandomBytes(16, b));
    EXPECT_EQ(a.size(), 16u);
    EXPECT_NE(a, b);
}

} // namespace
