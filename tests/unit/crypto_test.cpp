#include <gtest/gtest.h>

#include <string>

#include "common/pbkdf2_vectors.h"
#include "platform/native/openssl_crypto.h"

namespace {

using test_vectors::Hex;

TEST(OpenSslCrypto, Pbkdf2MatchesPublishedVectors) {
    platform::native::OpenSslCrypto crypto;
    for (const auto& v : test_vectors::kPbkdf2Vectors) {
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
    EXPECT_EQ(Hex(out), test_vectors::kEmptyPasswordVector.expected);
    EXPECT_TRUE(crypto.Pbkdf2Sha256("password", {}, 1, 32, out));
    EXPECT_EQ(out.size(), 32u);
}

TEST(OpenSslCrypto, RefusesZeroIterationsAndLeavesOutputEmpty) {
    platform::native::OpenSslCrypto crypto;
    std::vector<std::uint8_t> out{1, 2, 3};
    EXPECT_FALSE(crypto.Pbkdf2Sha256("password", {'s'}, 0, 32, out));
    EXPECT_TRUE(out.empty());
}

TEST(OpenSslCrypto, Sha256MatchesPublishedVectors) {
    platform::native::OpenSslCrypto crypto;
    for (const auto& v : test_vectors::kSha256Vectors) {
        std::vector<std::uint8_t> out;
        ASSERT_TRUE(crypto.Sha256({v.message.begin(), v.message.end()}, out)) << v.message;
        EXPECT_EQ(Hex(out), v.expected) << v.message;
    }
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
