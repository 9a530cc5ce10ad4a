#include "store/registry.h"

#include <gtest/gtest.h>

#include <functional>

#include "platform/fake/fake_registry.h"

namespace {

using platform::kRegDword;
using platform::kRegSz;
using platform::RegAccess;
using platform::RegRoot;
using platform::fake::FakeRegistry;
using Bytes = std::vector<std::uint8_t>;

constexpr RegRoot kHklm = RegRoot::LocalMachine;

// String data as stored: UTF-16, least significant byte first.
Bytes Wide(const std::string& text) {
    return FakeRegistry::StringData(text);
}
constexpr const char* kKey = "Software\\ORV\\Kestrel\\Settings";

class RegistryTest : public ::testing::Test {
protected:
    // No handle may outlive a call of the layer.
    void TearDown() override { EXPECT_EQ(api.OpenHandles(), 0); }

    FakeRegistry api;
    store::Registry registry{api};
};

TEST_F(RegistryTest, NewValueIsAUtf16StringWithoutTerminatingNulInAnyScript) {
    registry.CreateKey(kHklm, kKey);
    const struct {
        std::string text;
        Bytes data;
    } cases[] = {
        {"1", {'1', 0}},
        {"Казино", {0x1A, 0x04, 0x30, 0x04, 0x37, 0x04, 0x38, 0x04, 0x3D, 0x04, 0x3E, 0x04}},
        {"𐐀", {0x01, 0xD8, 0x00, 0xDC}},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(registry.WriteValue(kHklm, kKey, "Item0", c.text));
        auto value = api.GetValue(kHklm, kKey, "Item0");
        ASSERT_TRUE(value);
        EXPECT_EQ(value->type, kRegSz);
        EXPECT_EQ(value->data, c.data) << c.text;
        EXPECT_EQ(registry.ReadValue(kHklm, kKey, "Item0"), c.text);
    }
}

TEST_F(RegistryTest, StringDataReadsTheSameWithOrWithoutOneTrailingNul) {
    const struct {
        Bytes data;
        std::string expected;
    } cases[] = {
        {{'a', 0, 'b', 0, 'c', 0, 0, 0}, "abc"},
        {{'a', 0, 'b', 0, 'c', 0}, "abc"},
        {{0, 0}, ""},
        {{}, ""},
        {{'a', 0, 0, 0, 0, 0}, std::string("a\0", 2)},
        {{'a', 0, 'b'}, "a"},              // an odd last byte is no character
        {{0x00, 0xD8, 'x', 0}, "\uFFFDx"}, // a lone surrogate reads as the replacement character
    };
    for (const auto& c : cases) {
        api.PutValue(kHklm, kKey, "v", kRegSz, c.data);
        EXPECT_EQ(registry.ReadValue(kHklm, kKey, "v"), c.expected) << c.data.size() << " bytes";
    }
}

TEST_F(RegistryTest, WritingToAnExistingDwordKeepsTheTypeAndStoresTheLeadingNumber) {
    const struct {
        std::string text;
        Bytes stored;
    } cases[] = {
        {"12", {0x0C, 0, 0, 0}},
        {"300", {0x2C, 0x01, 0, 0}},
        {" 7", {7, 0, 0, 0}},
        {"abc", {0, 0, 0, 0}},
        {"2.5", {2, 0, 0, 0}}, // nearest, halves to even
        {"3.5", {4, 0, 0, 0}},
        {"-1", {0xFF, 0xFF, 0xFF, 0xFF}},
        {"4294967295", {0xFF, 0xFF, 0xFF, 0xFF}},
        {"99999999999999999999999", {0xFF, 0xFF, 0xFF, 0xFF}}, // clamped, not wrapped
        {"-99999999999999999999999", {0, 0, 0, 0x80}},
    };
    for (const auto& c : cases) {
        api.PutValue(kHklm, kKey, "n", kRegDword, {1, 2, 3, 4});
        EXPECT_TRUE(registry.WriteValue(kHklm, kKey, "n", c.text)) << c.text;
        auto value = api.GetValue(kHklm, kKey, "n");
        EXPECT_EQ(value->type, kRegDword) << c.text;
        EXPECT_EQ(value->data, c.stored) << c.text;
    }
    api.PutValue(kHklm, kKey, "n", kRegDword, {0x0C, 0, 0, 0});
    EXPECT_EQ(registry.ReadValue(kHklm, kKey, "n"), "12");
}

TEST_F(RegistryTest, DataOverTheBufferOrOfAnotherTypeReadsEmptyAndIsNotOverwritten) {
    const Bytes big = Wide(std::string(1025, 'x'));
    api.PutValue(kHklm, kKey, "big", kRegSz, big);
    EXPECT_EQ(registry.ReadValue(kHklm, kKey, "big"), "");
    EXPECT_FALSE(registry.WriteValue(kHklm, kKey, "big", "small"));
    EXPECT_EQ(api.GetValue(kHklm, kKey, "big")->data, big);

    // Exactly the buffer's size, 1024 characters, still fits.
    api.PutString(kHklm, kKey, "full", std::string(1024, 'y'));
    EXPECT_EQ(registry.ReadValue(kHklm, kKey, "full"), std::string(1024, 'y'));
    EXPECT_TRUE(registry.WriteValue(kHklm, kKey, "full", "z"));

    // Values of other types are not ours: they read empty and are left alone.
    api.PutValue(kHklm, kKey, "bin", 3, {'1'});
    EXPECT_EQ(registry.ReadValue(kHklm, kKey, "bin"), "");
    EXPECT_FALSE(registry.WriteValue(kHklm, kKey, "bin", "1"));
}

TEST_F(RegistryTest, AMissingKeyReadsEmptyAndWritingToItFailsAndCreatesNothing) {
    EXPECT_EQ(registry.ReadValue(kHklm, kKey, "Auth1"), "");
    EXPECT_FALSE(registry.WriteValue(kHklm, kKey, "Auth1", "x"));
    EXPECT_FALSE(api.KeyExists(kHklm, kKey));
    EXPECT_FALSE(api.KeyExists(kHklm, "Software\\ORV"));
}

TEST_F(RegistryTest, AStandardUserStillReadsWhatWasStoredButChangesNothing) {
    api.PutString(kHklm, kKey, "LockKeys", "1");
    api.SetStandardUser(true);

    EXPECT_EQ(registry.ReadValue(kHklm, kKey, "LockKeys"), "1");
    EXPECT_EQ(api.OpenRequests().back(), RegAccess::Read);

    EXPECT_FALSE(registry.WriteValue(kHklm, kKey, "LockKeys", "0"));
    registry.DeleteKey(kHklm, kKey);
    registry.CreateKey(kHklm, "Software\\ORV\\Other");
    EXPECT_EQ(api.GetString(kHklm, kKey, "LockKeys"), "1");
    EXPECT_FALSE(api.KeyExists(kHklm, "Software\\ORV\\Other"));
}

TEST_F(RegistryTest, CreatesDeletesAndWritesPassTheSystemsStatusUp) {
    api.PutString(kHklm, kKey, "big", std::string(1025, 'x'));
    api.PutValue(kHklm, kKey, "bin", 3, {'1'});
    const std::string missing = std::string(kKey) + "\\Missing";
    const struct {
        const char* what;
        bool standardUser;
        std::function<store::Status()> call;
        long code;
    } cases[] = {
        {"create", true, [&] { return registry.CreateKey(kHklm, missing); }, platform::kRegAccessDenied},
        {"delete", true, [&] { return registry.DeleteKey(kHklm, kKey); }, platform::kRegAccessDenied},
        {"delete missing", false, [&] { return registry.DeleteKey(kHklm, missing); }, platform::kRegFileNotFound},
        {"write", true, [&] { return registry.WriteValue(kHklm, kKey, "v", "1"); }, platform::kRegAccessDenied},
        {"write string", true, [&] { return registry.WriteString(kHklm, kKey, "v", "1"); }, platform::kRegAccessDenied},
        {"write to missing key", false, [&] { return registry.WriteValue(kHklm, missing, "v", "1"); },
         platform::kRegFileNotFound},
        {"write over big", false, [&] { return registry.WriteValue(kHklm, kKey, "big", "1"); }, platform::kRegMoreData},
        {"write over binary", false, [&] { return registry.WriteValue(kHklm, kKey, "bin", "1"); },
         store::kRegUnsupportedType},
        {"delete value", true, [&] { return registry.DeleteValue(kHklm, kKey, "big"); }, platform::kRegAccessDenied},
        {"write", false, [&] { return registry.WriteValue(kHklm, kKey, "v", "1"); }, platform::kRegOk},
    };
    for (const auto& c : cases) {
        api.SetStandardUser(c.standardUser);
        const store::Status status = c.call();
        EXPECT_EQ(status.code, c.code) << c.what;
        EXPECT_EQ(static_cast<bool>(status), c.code == platform::kRegOk) << c.what;
    }
}

TEST_F(RegistryTest, WriteStringStoresAStringOverAValueOfAnyTypeOrSize) {
    const struct {
        std::uint32_t type;
        Bytes data;
    } cases[] = {{kRegDword, {0xD2, 0x04, 0, 0}}, {3, {1, 2}}, {kRegSz, Bytes(3000, 'x')}};
    const std::string hash = "pbkdf2-sha256$1000$" + std::string(32, 'a') + "$" + std::string(64, 'b');
    for (const auto& c : cases) {
        api.PutValue(kHklm, kKey, "Auth1", c.type, c.data);
        EXPECT_TRUE(registry.WriteString(kHklm, kKey, "Auth1", hash));
        const auto value = api.GetValue(kHklm, kKey, "Auth1");
        EXPECT_EQ(value->type, kRegSz);
        EXPECT_EQ(value->data, Wide(hash));
    }
}

} // namespace
