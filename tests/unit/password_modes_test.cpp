// The modes that set or hash Kestrel's password for an installation: /setpassword and /hash.
#include "app/password_modes.h"

#include <gtest/gtest.h>

#include <deque>

#include "platform/fake/fake_message_box.h"
#include "platform/fake/fake_registry.h"
#include "platform/native/native_text_case.h"
#include "platform/native/openssl_crypto.h"
#include "store/settings.h"

namespace {

using platform::RegRoot;

constexpr std::uint32_t kFewIterations = 1000;

// A hash of the text as Kestrel stores it.
std::string HashOf(platform::Crypto& crypto, const std::string& plain) {
    common::Password password(crypto, kFewIterations);
    password.Set(plain);
    return password.StoredForm();
}

bool IsHashOf(platform::Crypto& crypto, const std::string& stored, const std::string& plain) {
    common::Password password(crypto, kFewIterations);
    password.LoadStored(stored);
    return common::Password::Parse(stored) && password.Matches(plain);
}

struct ModeWorld {
    std::optional<std::string> StoredAuth1() const {
        return api.GetString(RegRoot::LocalMachine, store::kSettingsKey, store::kPasswordValue);
    }
    void StoreAuth1(const std::string& text) {
        api.PutString(RegRoot::LocalMachine, store::kSettingsKey, store::kPasswordValue, text);
    }
    // The set-password dialog as the user answers it: OK with this password, or Cancel (nullopt).
    app::NewPasswordQuestion Answer(std::optional<std::string> typed) {
        return [this, typed] {
            ++asked;
            if (typed)
                password.Set(*typed);
            return typed.has_value();
        };
    }
    int SetPassword(bool always, std::optional<std::string> typed) {
        return app::SetStoredPassword(always, registry, password, Answer(typed), boxes);
    }

    platform::fake::FakeRegistry api;
    store::Registry registry{api};
    platform::native::OpenSslCrypto crypto;
    common::Password password{crypto, kFewIterations};
    platform::fake::FakeMessageBoxes boxes;
    platform::native::NativeTextCase textCase;
    int asked = 0;
};

TEST(PasswordModes, SwitchesAreWordsOfTheirOwnInAnyCase) {
    using app::PasswordMode;
    const struct {
        const char* commandLine;
        PasswordMode mode;
    } cases[] = {
        {"", PasswordMode::None},
        {"C:\\Users\\Ann\\list.loc", PasswordMode::None},
        {"/setpasswords", PasswordMode::None},
        {"  /SetPassword\t", PasswordMode::SetPassword},
        {"/setpassword  /ALWAYS ", PasswordMode::SetPasswordAlways},
        {"/setpassword Falcon9", PasswordMode::Malformed},
        {"/hash", PasswordMode::Hash},
        {"/hash Falcon9", PasswordMode::Malformed},
    };
    for (const auto& c : cases)
        EXPECT_EQ(app::ParsePasswordMode(c.commandLine), c.mode) << "[" << c.commandLine << "]";
}

TEST(PasswordModes, TheStoredFormGoesToTheSettingsKeyOfThe32BitView) {
    EXPECT_EQ(app::StoredFormPlace(),
              "HKEY_LOCAL_MACHINE\\Software\\WOW6432Node\\ORV\\Kestrel\\Settings, value Auth1, type REG_SZ");
}

TEST(PasswordModes, SetPasswordAsksOnlyWhileTheDefaultPasswordIsStored) {
    platform::native::OpenSslCrypto crypto;
    const struct {
        const char* what;
        std::optional<std::string> stored;
        bool asks;
    } cases[] = {
        {"nothing stored", std::nullopt, true},
        {"empty", "", true},
        {"the default in plain text", "PASSAGE", true},
        {"a hash of the default (an OK in the setup window)", HashOf(crypto, "PASSAGE"), true},
        {"a parent's password in plain text (an earlier release)", "Falcon9", false},
        {"a hash of a parent's password", HashOf(crypto, "Falcon9"), false},
        {"a hash of the default in other letter case", HashOf(crypto, "passage"), false},
    };
    for (const auto& c : cases) {
        ModeWorld world;
        if (c.stored)
            world.StoreAuth1(*c.stored);
        const int code = world.SetPassword(false, "Kite7");
        EXPECT_EQ(world.asked, c.asks ? 1 : 0) << c.what;
        EXPECT_EQ(code, c.asks ? app::kPasswordDone : app::kPasswordAlreadySet) << c.what;
        if (!c.asks) {
            EXPECT_EQ(world.StoredAuth1(), c.stored) << c.what;
        }

        // /always asks and stores whatever is stored.
        EXPECT_EQ(world.SetPassword(true, "Owl3"), app::kPasswordDone) << c.what;
        EXPECT_TRUE(IsHashOf(crypto, world.StoredAuth1().value_or(""), "Owl3")) << c.what;
    }
}

TEST(PasswordModes, OkStoresTheHashOfTheNewPasswordAloneAndCancelStoresNothing) {
    ModeWorld world;
    EXPECT_EQ(world.SetPassword(false, std::nullopt), app::kPasswordCancelled);
    EXPECT_FALSE(world.api.KeyExists(RegRoot::LocalMachine, store::kSettingsKey));

    EXPECT_EQ(world.SetPassword(false, "Falcon9"), app::kPasswordDone);
    const std::string stored = world.StoredAuth1().value_or("");
    EXPECT_TRUE(IsHashOf(world.crypto, stored, "Falcon9")) << stored;
    EXPECT_EQ(world.api.GetValue(RegRoot::LocalMachine, store::kSettingsKey, "Auth1")->type, platform::kRegSz);
    // The options stay as the parent (or a policy) left them.
    EXPECT_EQ(world.api.ValueNames(RegRoot::LocalMachine, store::kSettingsKey), std::vector<std::string>{"Auth1"});
    EXPECT_TRUE(world.boxes.Asked().empty());
}

TEST(PasswordModes, ARefusedStoreIsToldAndNeverTakenForSuccess) {
    ModeWorld world;
    world.api.SetStandardUser(true);
    EXPECT_EQ(world.SetPassword(false, "Falcon9"), app::kPasswordFailed);
    EXPECT_FALSE(world.StoredAuth1().has_value());
    ASSERT_EQ(world.boxes.Asked().size(), 1u);
    EXPECT_EQ(world.boxes.Asked()[0].text, "The new password is not saved: the registry refused the change (error 5); "
                                           "only an administrator can set it.\n\nKestrel's password is as it was.");
    EXPECT_EQ(world.boxes.Asked()[0].style & 0xF0u, platform::kMbIconCritical); // the icon's bits
}

// A system that will not hash: the plain text that the password falls back to must not be stored or handed out.
struct NoHashing : platform::Crypto {
    bool Pbkdf2Sha256(const std::string&, const std::vector<std::uint8_t>&, std::uint32_t, std::size_t,
                      std::vector<std::uint8_t>&) override {
        return false;
    }
    bool RandomBytes(std::size_t count, std::vector<std::uint8_t>& out) override {
        out.assign(count, 7);
        return true;
    }
    bool Sha256(const std::vector<std::uint8_t>&, std::vector<std::uint8_t>&) override { return false; }
};

TEST(PasswordModes, APasswordTheSystemWillNotHashIsNeitherStoredNorHandedOut) {
    ModeWorld world;
    NoHashing crypto;
    common::Password password(crypto, kFewIterations);
    auto ask = [&] {
        password.Set("Falcon9");
        return true;
    };
    EXPECT_EQ(app::SetStoredPassword(true, world.registry, password, ask, world.boxes), app::kPasswordFailed);
    EXPECT_FALSE(world.StoredAuth1().has_value());
    bool copied = false;
    EXPECT_EQ(app::HashToClipboard(
                  password, ask, [&](const std::string&) { return copied = true; }, world.boxes),
              app::kPasswordFailed);
    EXPECT_FALSE(copied);
    EXPECT_EQ(world.boxes.Asked().size(), 2u);
}

// A console with the user's lines scripted; nullopt ends the input.
class ScriptedConsole : public app::PasswordConsole {
public:
    explicit ScriptedConsole(std::deque<std::optional<std::string>> lines) : m_lines(std::move(lines)) {}
    std::optional<std::string> ReadHidden(const std::string& prompt) override {
        output += prompt + "\n";
        if (m_lines.empty())
            return std::nullopt;
        auto line = m_lines.front();
        m_lines.pop_front();
        return line;
    }
    void Write(const std::string& text) override { output += text; }
    std::string output;

private:
    std::deque<std::optional<std::string>> m_lines;
};

TEST(PasswordModes, HashInAConsoleAsksAgainUntilBothEntriesMatchThenPrintsTheFormAndItsPlace) {
    ModeWorld world;
    ScriptedConsole console({"", "Falcon9", "Falcon8", "Falcon9", "FALCON9"});
    EXPECT_EQ(app::HashInConsole(console, world.password, world.textCase), app::kPasswordDone);
    const std::string enter = "Enter new password: \n";
    const std::string confirm = "Confirm new password: \n";
    const std::string asked = enter + enter + confirm + "Passwords do not match!\n" + enter + confirm;
    ASSERT_EQ(console.output.substr(0, asked.size()), asked);
    const std::string printed = console.output.substr(asked.size());
    const std::size_t end = printed.find('\n');
    EXPECT_TRUE(IsHashOf(world.crypto, printed.substr(0, end), "Falcon9")) << printed;
    EXPECT_EQ(printed.substr(end + 1), "Registry: " + app::StoredFormPlace() + "\n");
    EXPECT_FALSE(world.api.KeyExists(RegRoot::LocalMachine, store::kSettingsKey)); // nothing stored

    ScriptedConsole brokenOff({"Falcon9", std::nullopt});
    EXPECT_EQ(app::HashInConsole(brokenOff, world.password, world.textCase), app::kPasswordCancelled);
    EXPECT_EQ(brokenOff.output, enter + confirm);
}

} // namespace
