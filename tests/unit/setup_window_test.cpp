#include "setup/setup_window.h"

#include <gtest/gtest.h>

#include "setup/vendor.h"
#include "setup_fake_views.h"
#include "version.h"

namespace {

using platform::RegRoot;
using setup::LinkLabel;
using setuptest::kMainWindow;
using store::Option;

class SetupWindowTest : public ::testing::Test, public setuptest::SetupWorld {};

TEST_F(SetupWindowTest, ShowCentresOnlyTheFirstTime) {
    presenter.Show();
    EXPECT_TRUE(presenter.IsVisible());
    presenter.cmdcancel_Click();
    EXPECT_FALSE(presenter.IsVisible());
    presenter.Show();
    EXPECT_TRUE(presenter.IsVisible());
    EXPECT_EQ(view.centred, 1);
}

TEST_F(SetupWindowTest, OkStoresEverythingThenReloadsWhatWasStored) {
    presenter.Show();
    Items().SetChecked(Items().Add("Poker"), true);
    world.options.Set(Option::LockKeys, true);
    const auto switchesBefore = Timer().Switches().size();

    presenter.cmdapply_Click();

    EXPECT_FALSE(view.visible);
    // Stored: the edited list and every switch.
    EXPECT_EQ(StoredItem(IndexOf("Poker")), "Poker,1");
    EXPECT_EQ(Stored(store::kSettingsKey, "LockKeys"), "1");
    EXPECT_EQ(Stored(store::kSettingsKey, "Version"), "Premium");
    // Reloaded from the store: the ticked row is a rule again, and the option's rule and lock are applied.
    EXPECT_TRUE(Items().Rows()[static_cast<std::size_t>(IndexOf("Poker"))].checked);
    EXPECT_EQ(world.engine.ListLockedItems(), (std::vector<std::string>{"Poker", "Task Manager"}));
    EXPECT_TRUE(taskKeys.Locked());
    // The save switched the watcher off and on again; it runs afterwards.
    EXPECT_EQ(
        std::vector<bool>(Timer().Switches().begin() + static_cast<long>(switchesBefore), Timer().Switches().end()),
        (std::vector<bool>{false, true}));
    EXPECT_TRUE(LocksWindowTitled("Texas Poker Online"));
}

TEST_F(SetupWindowTest, OkAndApplyWithoutChangesPutTheIconAndTheKeyLockUpAgain) {
    for (auto command : {&setup::SetupWindow::cmdapply_Click, &setup::SetupWindow::cmdapply2_Click}) {
        presenter.Show();
        shell.RestartShell(); // the icon is gone
        const auto keyCalls = taskKeys.Calls().size();
        (presenter.*command)();
        EXPECT_TRUE(shell.HasIcon(kMainWindow, tray::kTrayIconId));
        EXPECT_EQ(taskKeys.Calls().size(), keyCalls + 1);
    }
    EXPECT_TRUE(view.visible); // Apply leaves the window up
}

TEST_F(SetupWindowTest, CancelKeepsEditsInMemoryButNotInTheStore) {
    presenter.Show();
    world.options.Set(Option::LockKeys, true);
    Items().Add("Poker");
    presenter.cmdcancel_Click();

    EXPECT_FALSE(view.visible);
    EXPECT_FALSE(Stored(store::kSettingsKey, "LockKeys").has_value());
    EXPECT_FALSE(world.api.KeyExists(RegRoot::LocalMachine, engine::kLockedItemsKey));
    EXPECT_FALSE(taskKeys.Locked());

    presenter.Show();
    EXPECT_TRUE(world.options.Get(store::Option::LockKeys));
    EXPECT_NE(IndexOf("Poker"), -1);
    presenter.cmdapply2_Click(); // the next Apply stores and applies them
    EXPECT_EQ(Stored(store::kSettingsKey, "LockKeys"), "1");
    EXPECT_TRUE(taskKeys.Locked());
}

TEST_F(SetupWindowTest, AboutTabShowsNameEditionAndVersionEachTimeItIsSelected) {
    presenter.SSTab1_Click(1);
    EXPECT_EQ(view.lblprogramname, "ProgramName");
    presenter.SSTab1_Click(3);
    EXPECT_EQ(view.lblprogramname, "Kestrel 2004 - Premium Edition");
    EXPECT_EQ(view.lblversion,
              setup::AboutVersion(KESTREL_VERSION_MAJOR, KESTREL_VERSION_MINOR, KESTREL_VERSION_PATCH));
    view.lblversion.clear();
    presenter.SSTab1_Click(3);
    EXPECT_FALSE(view.lblversion.empty());

    EXPECT_EQ(setup::AboutVersion(2, 0, 2), "Version 2.0.2");
    EXPECT_EQ(setup::AboutVersion(10, 0, 17), "Version 10.0.17");
}

TEST_F(SetupWindowTest, LinkLabelsTurnBlueUnderThePointerAndBackOnlyOverTheTabSurface) {
    presenter.LinkLabel_MouseMove(LinkLabel::Add);
    presenter.LinkLabel_MouseMove(LinkLabel::Add); // moving on within the label repaints nothing
    presenter.LinkLabel_MouseMove(LinkLabel::Update);
    EXPECT_TRUE(view.blue[0]);
    EXPECT_TRUE(view.blue[3]);
    EXPECT_FALSE(view.blue[1]);
    EXPECT_EQ(view.highlightCalls, 2);

    presenter.SSTab1_MouseMove();
    for (bool blue : view.blue)
        EXPECT_FALSE(blue);
    EXPECT_EQ(view.highlightCalls, 4);
}

TEST_F(SetupWindowTest, HelpOpensTheHelpFileWhereItExistsAndOtherwiseTheGuideInTheBrowser) {
    const struct {
        std::string folder;
        std::string helpFile; // a drive root keeps its backslash
        std::string guide;
    } cases[] = {{"C:\\Program Files\\Kestrel", "C:\\Program Files\\Kestrel\\kestrel.hlp",
                  "C:\\Program Files\\Kestrel\\kestrel-guide.html"},
                 {"D:\\", "D:\\\\kestrel.hlp", "D:\\kestrel-guide.html"}};
    for (const auto& c : cases) {
        shell.SetProgramFolder(c.folder);
        const auto helpCalls = shell.HelpCalls().size();
        presenter.cmdhelp_Click(); // no help file
        EXPECT_EQ(shell.HelpCalls().size(), helpCalls);
        ASSERT_FALSE(shell.OpenedAddresses().empty());
        EXPECT_EQ(shell.OpenedAddresses().back(), std::make_pair(kMainWindow, c.guide));

        shell.AddFile(c.helpFile);
        const auto opened = shell.OpenedAddresses().size();
        presenter.cmdhelp_Click();
        ASSERT_EQ(shell.HelpCalls().size(), helpCalls + 1);
        EXPECT_EQ(shell.HelpCalls().back().file, c.helpFile);
        EXPECT_EQ(shell.HelpCalls().back().command, 11u);
        EXPECT_EQ(shell.HelpCalls().back().owner, kMainWindow);
        EXPECT_EQ(shell.OpenedAddresses().size(), opened) << "the guide opened as well";
    }
}

TEST_F(SetupWindowTest, LinksOpenTheVendorsAddresses) {
    presenter.cmdupdate_Click();
    presenter.Label7_Click();
    presenter.Label8_Click();
    const std::string site = setup::kVendorWebsite;
    using Opened = std::vector<std::pair<platform::WindowId, std::string>>;
    EXPECT_EQ(shell.OpenedAddresses(), (Opened{{kMainWindow, site + "/download.htm"},
                                               {kMainWindow, site},
                                               {kMainWindow, std::string("mailto:") + setup::kSupportAddress +
                                                                 "?subject=Software Support Request"}}));
    EXPECT_EQ(site.find('/', 7), std::string::npos); // the root: no path, no trailing slash
}

class PopupAddOnTest : public SetupWindowTest {
protected:
    void StorePopup(const std::string& value) {
        world.api.PutString(RegRoot::LocalMachine, store::kSettingsKey, "Popup", value);
    }
};

TEST_F(PopupAddOnTest, TickingAsksUnlessTheStoredSwitchIsOn) {
    const struct {
        const char* stored; // nullptr: no value
        bool asks;
    } cases[] = {{nullptr, true}, {"0", true}, {"", true}, {" 1", true}, {"1", false}};
    for (const auto& c : cases) {
        world.api.PutKey(RegRoot::LocalMachine, store::kSettingsKey);
        if (c.stored)
            StorePopup(c.stored);
        const auto asked = messageBoxes.Asked().size();
        presenter.CheckBox_Click(Option::Popup, true);
        EXPECT_EQ(messageBoxes.Asked().size(), asked + (c.asks ? 1 : 0)) << (c.stored ? c.stored : "(missing)");
        presenter.CheckBox_Click(Option::Popup, false); // unticking asks nothing
        EXPECT_EQ(messageBoxes.Asked().size(), asked + (c.asks ? 1 : 0));
        world.api.DeleteKey(RegRoot::LocalMachine, store::kSettingsKey);
    }
    ASSERT_FALSE(messageBoxes.Asked().empty());
    const auto& question = messageBoxes.Asked().front();
    EXPECT_EQ(question.text, "You need to download an addon for this feature. Would you like to do this now?");
    EXPECT_EQ(question.caption, "Kestrel");
    EXPECT_EQ(question.style, 65u);
    EXPECT_EQ(question.owner, kMainWindow);
}

TEST_F(PopupAddOnTest, OkOpensTheInstallerAndKeepsTheTickWithoutStoringIt) {
    messageBoxes.Answer(platform::kIdOk);
    presenter.CheckBox_Click(Option::Popup, true);
    EXPECT_TRUE(world.options.Get(store::Option::Popup));
    ASSERT_EQ(shell.OpenedAddresses().size(), 1u);
    EXPECT_EQ(shell.OpenedAddresses()[0].second, std::string(setup::kVendorWebsite) + "/download/zephyrpro.exe");
    EXPECT_FALSE(Stored(store::kSettingsKey, "Popup").has_value());
}

TEST_F(PopupAddOnTest, CancelUnticksAndOpensNothing) {
    messageBoxes.Answer(platform::kIdCancel);
    presenter.CheckBox_Click(Option::Popup, true);
    EXPECT_FALSE(world.options.Get(store::Option::Popup));
    EXPECT_EQ(messageBoxes.Asked().size(), 1u); // the untick itself asks nothing
    EXPECT_TRUE(shell.OpenedAddresses().empty());
}

TEST_F(PopupAddOnTest, LoadingTheSettingsTicksTheBoxWithoutAsking) {
    StorePopup("1");
    world.options.Set(Option::Popup, false);
    const auto asked = messageBoxes.Asked().size();
    settings.GetSettings();
    EXPECT_TRUE(world.options.Get(store::Option::Popup));
    EXPECT_EQ(messageBoxes.Asked().size(), asked);
}

} // namespace
