#include "store/settings.h"

#include <gtest/gtest.h>

#include "platform/fake/fake_task_keys.h"
#include "test_world.h"

namespace {

using platform::RegRoot;
using store::Option;

class TrayIconCount : public common::TrayIcon {
public:
    void AddTrayIcon() override { ++added; }
    void DeleteTrayIcon() override {}
    int added = 0;
};

class SettingsTest : public ::testing::Test {
protected:
    void Store(const char* name, const std::string& text) {
        world.api.PutString(RegRoot::LocalMachine, store::kSettingsKey, name, text);
    }
    std::optional<std::string> Stored(const char* name) const {
        return world.api.GetString(RegRoot::LocalMachine, store::kSettingsKey, name);
    }

    testworld::World world;
    platform::fake::FakeTaskKeys taskKeys;
    TrayIconCount tray;
    store::Options& options = world.options;
    store::Settings settings{world.registry, world.state, world.options, taskKeys, tray};
};

TEST_F(SettingsTest, FreshStoreGivesTheDefaultsWithoutCreatingAnything) {
    settings.GetSettings();
    EXPECT_EQ(tray.added, 1);
    EXPECT_TRUE(world.state.Password.Matches("PASSAGE"));
    for (Option o : {Option::Popup, Option::LockKeys, Option::LockInternetExplorer, Option::LockInstall})
        EXPECT_FALSE(options.Get(o));
    EXPECT_EQ(taskKeys.Calls(), std::vector<bool>{false});
    EXPECT_FALSE(world.api.KeyExists(RegRoot::LocalMachine, store::kSettingsKey));
    Store("Auth1", "");
    settings.GetSettings();
    EXPECT_EQ(tray.added, 2); // every load, not only the first
    EXPECT_TRUE(world.state.Password.Matches("PASSAGE"));
}

TEST_F(SettingsTest, OnlyExactlyOneSwitchesAnOptionOn) {
    const struct {
        std::string stored;
        bool on;
    } cases[] = {{"1", true}, {"0", false}, {"", false}, {"yes", false}, {" 1", false}, {"1 ", false}, {"11", false}};
    for (const auto& c : cases) {
        for (const char* name : {"LockKeys", "Kestrel", "LockInstall"})
            Store(name, c.stored);
        options.Set(Option::LockInternetExplorer, !c.on); // the load overwrites these boxes either way
        settings.GetSettings();
        EXPECT_EQ(options.Get(store::Option::LockKeys), c.on) << "'" << c.stored << "'";
        EXPECT_EQ(options.Get(store::Option::LockInternetExplorer), c.on) << "'" << c.stored << "'";
        EXPECT_EQ(options.Get(store::Option::LockInstall), c.on) << "'" << c.stored << "'";
        EXPECT_EQ(taskKeys.Locked(), c.on) << "'" << c.stored << "'";
    }
}

TEST_F(SettingsTest, PopupTicksTheBoxWhileLoadingAndOtherwiseLeavesItAlone) {
    std::vector<bool> loadingWhenTicked;
    const platform::Subscription watching = options.Subscribe([&](Option o) {
        if (o == Option::Popup)
            loadingWhenTicked.push_back(world.state.PopupLoading);
    });
    Store("Popup", "1");
    settings.GetSettings();
    EXPECT_TRUE(options.Get(store::Option::Popup));
    EXPECT_EQ(loadingWhenTicked, std::vector<bool>{true});
    EXPECT_FALSE(world.state.PopupLoading);

    Store("Popup", "0");
    settings.GetSettings();
    EXPECT_TRUE(options.Get(store::Option::Popup)); // "0" does not untick it
}

TEST_F(SettingsTest, LockKeysLocksTheTaskKeysAndAddsTheTaskManagerRule) {
    Store("LockKeys", "1");
    world.api.SetStandardUser(true); // reading is enough to apply what the parent stored
    settings.GetSettings();
    world.engine.GetWindows();
    EXPECT_TRUE(options.Get(store::Option::LockKeys));
    EXPECT_TRUE(taskKeys.Locked());
    EXPECT_EQ(world.engine.ListLockedItems(), std::vector<std::string>{"Task Manager"});
}

TEST_F(SettingsTest, SaveStoresStringsAHashedPasswordAndTheEdition) {
    Store("Version", "Hacked");
    world.state.Password.Set("Secret1");
    options.Set(Option::LockInstall, true);
    options.Set(Option::LockInternetExplorer, true);
    settings.SaveSettings();

    for (const char* name : {"Auth1", "Version", "Popup", "LockKeys", "Kestrel", "LockInstall"}) {
        auto value = world.api.GetValue(RegRoot::LocalMachine, store::kSettingsKey, name);
        ASSERT_TRUE(value) << name;
        EXPECT_EQ(value->type, platform::kRegSz) << name;
        EXPECT_EQ(value->data, platform::fake::FakeRegistry::StringData(*Stored(name))) << name << ": no NUL after it";
    }
    EXPECT_EQ(Stored("Version"), "Premium");
    EXPECT_EQ(Stored("Popup"), "0");
    EXPECT_EQ(Stored("LockKeys"), "0");
    EXPECT_EQ(Stored("Kestrel"), "1");
    EXPECT_EQ(Stored("LockInstall"), "1");
    const std::string auth = *Stored("Auth1");
    EXPECT_EQ(auth.find("Secret1"), std::string::npos);
    EXPECT_TRUE(common::Password::Parse(auth));

    // What was stored is what the next load works from.
    options.Set(Option::LockInstall, false);
    world.state.Password.Set("other");
    settings.GetSettings();
    EXPECT_TRUE(world.state.Password.Matches("Secret1"));
    EXPECT_TRUE(options.Get(store::Option::LockInstall));
}

TEST_F(SettingsTest, APasswordStoredAsANumberIsSavedAsItsHashTextAndOddSwitchesDoNotStopTheSave) {
    const auto put = [&](const char* name, std::uint32_t type, std::vector<std::uint8_t> data) {
        world.api.PutValue(RegRoot::LocalMachine, store::kSettingsKey, name, type, std::move(data));
    };
    put("Auth1", platform::kRegDword, {0xD2, 0x04, 0, 0}); // 1234, as another program stored it
    put("LockKeys", platform::kRegDword, {1, 0, 0, 0});
    put("Popup", 3, {'1'});                                                 // binary: not text
    put("Kestrel", platform::kRegSz, std::vector<std::uint8_t>(4000, '1')); // too large to read
    settings.GetSettings();
    ASSERT_TRUE(world.state.Password.Matches("1234"));

    ASSERT_TRUE(settings.SaveSettings());
    const auto auth = world.api.GetValue(RegRoot::LocalMachine, store::kSettingsKey, "Auth1");
    EXPECT_EQ(auth->type, platform::kRegSz);
    EXPECT_TRUE(common::Password::Parse(*Stored("Auth1")));
    EXPECT_EQ(world.api.GetValue(RegRoot::LocalMachine, store::kSettingsKey, "LockKeys")->data,
              (std::vector<std::uint8_t>{1, 0, 0, 0})); // a number stays a number
    EXPECT_EQ(Stored("Popup"), "0");
    EXPECT_EQ(Stored("Kestrel"), "0");

    settings.GetSettings();
    EXPECT_TRUE(world.state.Password.Matches("1234"));
    EXPECT_FALSE(world.state.Password.Matches("0"));
}

} // namespace
