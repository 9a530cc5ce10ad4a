#include "store/save_request.h"

#include <gtest/gtest.h>

#include "common/hex.h"
#include "platform/fake/fake_elevation.h"
#include "platform/fake/fake_registry.h"
#include "platform/native/openssl_crypto.h"
#include "store/item_rows.h"

namespace {

using platform::RegRoot;
using Bytes = std::vector<std::uint8_t>;

Bytes BytesOf(const std::string& text) {
    return {text.begin(), text.end()};
}

store::SaveRequest FullRequest() {
    store::SaveRequest request;
    request.items =
        std::vector<std::string>{"Crime,1", "100% Poker, Texas,0", std::string("a\nb\r\x01\x7fé c,1"), ",1"};
    request.settings = std::vector<store::SettingValue>{
        {"Auth1", "pbkdf2-sha256$600000$00112233445566778899aabbccddeeff$" + std::string(64, 'e')},
        {"Version", "Premium"},
        {"Popup", "0"},
        {"LockKeys", "1"},
        {"Kestrel", "0"},
        {"LockInstall", "1"},
        {"AnyCase", "1"},
        {"OneWindow", "0"},
        {"LockBrowsers", "1"}};
    return request;
}

TEST(SaveRequest, EveryRowAndSettingComesBackExactly) {
    store::SaveRequest itemsOnly;
    itemsOnly.items = std::vector<std::string>{}; // Remove of the last row: an empty list is saved too
    for (const store::SaveRequest& request : {FullRequest(), itemsOnly}) {
        const auto parsed = store::ParseSaveRequest(store::Serialize(request));
        ASSERT_TRUE(parsed);
        EXPECT_EQ(parsed->items, request.items);
        EXPECT_EQ(parsed->settings, request.settings);
    }
}

TEST(SaveRequest, OnlyTheStoresOwnValuesInTheirOwnFormAreAccepted) {
    const std::string good = "kestrel-save 1\nitems\nItem0 Crime,1\nsettings\nAuth1 x\nVersion Premium\nPopup 0\n"
                             "LockKeys 0\nKestrel 0\nLockInstall 0\nAnyCase 0\nOneWindow 0\nLockBrowsers 0\nend\n";
    ASSERT_TRUE(store::ParseSaveRequest(BytesOf(good)));
    const struct {
        const char* what;
        std::string from;
        std::string to;
    } cases[] = {
        {"another value name", "Item0 Crime,1", "Run C:\\evil.exe"},
        {"rows out of order", "Item0 Crime,1", "Item1 Crime,1"},
        {"a leading zero", "Item0 Crime,1", "Item00 Crime,1"},
        {"a row without its flag", "Item0 Crime,1", "Item0 Crime"},
        {"a setting left out", "Popup 0\n", ""},
        {"settings out of order", "Popup 0\nLockKeys 0", "LockKeys 0\nPopup 0"},
        {"a switch that is no switch", "Kestrel 0", "Kestrel 2"},
        {"another edition", "Version Premium", "Version Hacked"},
        {"another key", "items\n", "items HKLM\\Software\\Run\n"},
        {"no end", "end\n", ""},
        {"something after the end", "end\n", "end\nItem1 Dice,1\n"},
        {"an unfinished last line", "end\n", "end"},
        {"another header", "kestrel-save 1", "kestrel-save 2"},
        {"a carriage return", "Crime,1", "Crime\r,1"},
        {"a printable character escaped", "Crime,1", "%43rime,1"},
        {"a broken escape", "Crime,1", "Crime%2,1"},
    };
    for (const auto& c : cases) {
        std::string text = good;
        const std::size_t at = text.find(c.from);
        ASSERT_NE(at, std::string::npos) << c.what;
        text.replace(at, c.from.size(), c.to);
        EXPECT_FALSE(store::ParseSaveRequest(BytesOf(text))) << c.what;
    }
}

class HandOverTest : public ::testing::Test {
protected:
    std::string HandOver(const Bytes& bytes) {
        const std::string file = elevation.CreateHandOver(bytes);
        std::vector<std::uint8_t> digest;
        crypto.Sha256(bytes, digest);
        return store::SaveCommandLine(file, common::ToHex(digest));
    }
    unsigned Run(const std::string& commandLine) {
        return store::SaveFromHandOver(commandLine, elevation, crypto, registry, [this] { return passwordGiven; });
    }
    bool passwordGiven = true; // what the copy's own question for Kestrel's password came to

    platform::fake::FakeRegistry api;
    store::Registry registry{api};
    platform::fake::FakeElevation elevation;
    platform::native::OpenSslCrypto crypto;
};

TEST_F(HandOverTest, SavesWhatWasHandedOverAndDeletesTheFile) {
    api.PutString(RegRoot::LocalMachine, store::kLockedItemsKey, "Item7", "Stale,1");
    const std::string commandLine = HandOver(store::Serialize(FullRequest()));
    EXPECT_TRUE(store::IsSaveCommand(commandLine));
    EXPECT_EQ(Run(commandLine), store::kSaved);
    EXPECT_TRUE(elevation.files.empty());
    const auto request = FullRequest();
    EXPECT_EQ(api.ValueNames(RegRoot::LocalMachine, store::kLockedItemsKey).size(), request.items->size());
    for (std::size_t r = 0; r < request.items->size(); ++r)
        EXPECT_EQ(api.GetString(RegRoot::LocalMachine, store::kLockedItemsKey, store::ItemName(r)),
                  (*request.items)[r]);
    for (const auto& [name, text] : *request.settings)
        EXPECT_EQ(api.GetString(RegRoot::LocalMachine, store::kSettingsKey, name), text) << name;
}

TEST_F(HandOverTest, RefusesWhatItWasNotGivenAndSavesNothing) {
    const Bytes bytes = store::Serialize(FullRequest());
    const struct {
        const char* what;
        std::function<std::string()> commandLine;
        unsigned exit;
    } cases[] = {
        {"changed after writing",
         [&] {
             const std::string line = HandOver(bytes);
             elevation.files.begin()->second[20] ^= 1;
             return line;
         },
         store::kChecksumMismatch},
        {"not the hand-over's checksum",
         [&] {
             std::string line = HandOver(bytes);
             line.back() = line.back() == '0' ? '1' : '0';
             return line;
         },
         store::kChecksumMismatch},
        {"a checksum in capitals",
         [&] {
             std::string line = HandOver(bytes);
             for (std::size_t i = line.size() - 64; i < line.size(); ++i)
                 line[i] = static_cast<char>(std::toupper(static_cast<unsigned char>(line[i])));
             return line;
         },
         store::kBadCommandLine},
        {"a file not named as a hand-over",
         [&] {
             std::string line = HandOver(bytes);
             const std::string file = elevation.files.begin()->first;
             elevation.files["C:\\Windows\\win.ini"] = elevation.files.begin()->second;
             return line.replace(line.find(file), file.size(), "C:\\Windows\\win.ini");
         },
         store::kBadCommandLine},
        {"no file", [&] { return HandOver(bytes).replace(7, 0, "x"); }, store::kHandOverUnreadable},
        {"something after the checksum", [&] { return HandOver(bytes) + " more"; }, store::kBadCommandLine},
        {"no quotes", [&] { return std::string("/save C:\\x.tmp ") + std::string(64, 'a'); }, store::kBadCommandLine},
        {"foreign values, checksum right", [&] { return HandOver(BytesOf("kestrel-save 1\nRun x\nend\n")); },
         store::kBadHandOver},
        {"Kestrel's password not given",
         [&] {
             passwordGiven = false;
             return HandOver(bytes);
         },
         store::kPasswordNotGiven},
    };
    for (const auto& c : cases) {
        const std::string commandLine = c.commandLine();
        EXPECT_EQ(Run(commandLine), c.exit) << c.what;
        EXPECT_FALSE(api.KeyExists(RegRoot::LocalMachine, store::kLockedItemsKey)) << c.what;
        elevation.files.erase("C:\\Windows\\win.ini");
        if (c.exit != store::kBadCommandLine && c.exit != store::kHandOverUnreadable) {
            EXPECT_TRUE(elevation.files.empty()) << c.what << ": the file was not deleted";
        }
        elevation.files.clear();
    }
}

TEST(SaveCommand, OnlyTheSaveSwitchMakesAWindowlessCopy) {
    const struct {
        const char* commandLine;
        bool save;
    } cases[] = {{"", false},      {"/save", true},    {"  /save \"x\" y", true}, {"/saveall", false},
                 {"/SAVE", false}, {"x /save", false}, {"/setup", false}};
    for (const auto& c : cases)
        EXPECT_EQ(store::IsSaveCommand(c.commandLine), c.save) << c.commandLine;
}

} // namespace
