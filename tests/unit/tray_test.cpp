#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/shared_state.h"
#include "fake_prompt_view.h"
#include "gate/prompt_service.h"
#include "platform/fake/fake_desktop.h"
#include "platform/fake/fake_shell.h"
#include "platform/native/openssl_crypto.h"
#include "tray/sys_tray_module.h"
#include "tray/tray_menu.h"

namespace {

using platform::fake::FakeShell;
using tray::SysTrayModule;
using tray::TrayMenuItem;

constexpr platform::WindowId kMainWindow = 0x4242;
constexpr std::uint64_t kIcon = 0x777;

std::string Field(const platform::TrayIconData& data) {
    return std::string(data.szTip.data(), data.szTip.size());
}

TEST(TrayIconRecord, HoldsTheSixValuesAndTheSize88) {
    const auto data = SysTrayModule::MakeIconData(kMainWindow, 1, 7, 0x200, kIcon, "Kestrel 2004");
    EXPECT_EQ(data.cbSize, 88u);
    EXPECT_EQ(data.hWnd, kMainWindow);
    EXPECT_EQ(data.uID, 1u);
    EXPECT_EQ(data.uFlags, 7u);
    EXPECT_EQ(data.uCallbackMessage, 0x200u);
    EXPECT_EQ(data.hIcon, kIcon);
}

TEST(TrayIconRecord, TipIsFollowedByOneNulThenSpacesAndCutAt64) {
    struct Case {
        std::string tip;
        std::string field;
    };
    const std::string s63(63, 'a'), s64(64, 'b'), s100(100, 'c');
    const Case cases[] = {
        {"Kestrel 2004", std::string("Kestrel 2004") + '\0' + std::string(51, ' ')},
        {"", std::string(1, '\0') + std::string(63, ' ')},
        {s63, s63 + '\0'},
        {s64, s64}, // no room left for the NUL
        {s100, s100.substr(0, 64)},
    };
    for (const auto& c : cases) {
        const auto data = SysTrayModule::MakeIconData(kMainWindow, 1, 7, 0x200, kIcon, c.tip);
        EXPECT_EQ(Field(data), c.field) << "tip of " << c.tip.size() << " characters";
    }
}

TEST(SysTrayModule, AddAndDeleteSendTheirRecordsWithTheTipAndCallbackOfEach) {
    FakeShell shell;
    SysTrayModule module(shell, kMainWindow, kIcon);
    module.AddTrayIcon();
    module.DeleteTrayIcon();
    ASSERT_EQ(shell.NotifyCalls().size(), 2u);

    const auto& add = shell.NotifyCalls()[0];
    EXPECT_EQ(add.message, platform::kNimAdd);
    EXPECT_EQ(Field(add.data), Field(SysTrayModule::MakeIconData(kMainWindow, 1, 7, 0x200, kIcon, "Kestrel 2004")));
    EXPECT_EQ(add.data.uCallbackMessage, 0x200u);
    EXPECT_EQ(add.data.hIcon, kIcon);

    const auto& del = shell.NotifyCalls()[1];
    EXPECT_EQ(del.message, platform::kNimDelete);
    EXPECT_EQ(del.data.uCallbackMessage, 1u);
    EXPECT_EQ(del.data.uFlags, 7u);
    EXPECT_EQ(Field(del.data), std::string(1, '\0') + std::string(63, ' '));
    EXPECT_EQ(shell.IconCount(), 0u);
}

TEST(SysTrayModule, RepeatedLoadsLeaveExactlyOneIconAndAShellRestartGetsItBack) {
    FakeShell shell;
    SysTrayModule module(shell, kMainWindow, kIcon);
    for (int i = 0; i < 3; ++i)
        module.AddTrayIcon(); // start-up, then OK and Apply in the setup window
    EXPECT_EQ(shell.IconCount(), 1u);
    EXPECT_EQ(shell.TipOf(kMainWindow, 1), "Kestrel 2004");

    shell.RestartShell();
    EXPECT_EQ(shell.IconCount(), 0u);
    module.AddTrayIcon(); // the main window's answer to the shell's "TaskbarCreated"
    EXPECT_TRUE(shell.HasIcon(kMainWindow, 1));
}

// The menu together with the real prompt service, the icon and a fake shell.
class TrayMenuTest : public ::testing::Test, public tray::TrayMenuView, public gate::PromptHost {
protected:
    platform::native::OpenSslCrypto crypto;
    common::SharedState state{common::Password(crypto, 10)};
    platform::fake::FakeDesktop desktop;
    FakeShell shell;
    SysTrayModule icon{shell, kMainWindow, kIcon};
    std::vector<std::string> log;
    testing_support::FakePromptViewFactory views{log};
    platform::NoEventLog events;
    gate::PromptService prompt{state, desktop, *this, views, events};
    std::function<bool(TrayMenuItem)> chooser; // before the menu, which sets it
    tray::TrayMenu menu{state, prompt, *this};
    int popUps = 0;

    void PopUpAtCursor() override { ++popUps; }
    void SetChooser(std::function<bool(TrayMenuItem)> choose) override { chooser = std::move(choose); }
    // The user picks an item from the shown menu.
    bool Pick(TrayMenuItem item) { return chooser && chooser(item); }
    void StopWatcher() override { log.push_back("stop watcher"); }
    void AllowGivenBack(platform::WindowId, const std::string&, const std::string&) override {}
    void DeleteTrayIcon() override { icon.DeleteTrayIcon(); }
    void ShowSetupWindow(const std::string&) override { log.push_back("show setup window"); }
    std::optional<std::string> ConfirmExit(const std::string&) override { return std::nullopt; }
    void EndProcess() override { log.push_back("end process"); }

    void SetUp() override {
        state.Password.LoadStored("");
        icon.AddTrayIcon();
    }
};

TEST(TrayMenuLifetime, APresenterGoneLeavesTheViewWithoutChooser) {
    struct View : tray::TrayMenuView {
        std::function<bool(TrayMenuItem)> chooser;
        void PopUpAtCursor() override {}
        void SetChooser(std::function<bool(TrayMenuItem)> choose) override { chooser = std::move(choose); }
    } view;
    platform::native::OpenSslCrypto crypto;
    common::SharedState state{common::Password(crypto, 10)};
    struct NoPrompt : common::PromptOpener {
        void ShowPrompt() override {}
    } opener;
    {
        tray::TrayMenu menu(state, opener, view);
        EXPECT_TRUE(view.chooser);
    }
    EXPECT_FALSE(view.chooser);
}

TEST_F(TrayMenuTest, OnlyARightButtonReleaseWhileHiddenPopsUpTheMenu) {
    struct Case {
        unsigned message;
        bool setupVisible;
        int popUps;
    };
    const Case cases[] = {
        {0x205, false, 1},                                       // WM_RBUTTONUP
        {0x205, true, 0},  {0x204, false, 0},                    // WM_RBUTTONDOWN
        {0x201, false, 0}, {0x202, false, 0}, {0x203, false, 0}, // left down, up, double-click
        {0x200, false, 0}, {0x206, false, 0},
    };
    for (const auto& c : cases) {
        popUps = 0;
        menu.OnIconCallback(c.message, c.setupVisible);
        EXPECT_EQ(popUps, c.popUps) << std::hex << c.message << " visible " << c.setupVisible;
    }
}

TEST_F(TrayMenuTest, SetupAndExitSetTheWordAndOpenTheOnePrompt) {
    EXPECT_TRUE(Pick(TrayMenuItem::msetup));
    EXPECT_EQ(state.PendingAction, common::PendingAction::Setup);
    EXPECT_TRUE(prompt.IsOpen());
    EXPECT_TRUE(Pick(TrayMenuItem::mnuexit)); // chosen again while the prompt is open
    EXPECT_EQ(state.PendingAction, common::PendingAction::Exit);
    EXPECT_EQ(views.Created(), 1);
}

TEST_F(TrayMenuTest, HideAndTheUnavailableItemsDoNothing) {
    state.PendingAction = common::PendingAction::Setup;
    EXPECT_TRUE(Pick(TrayMenuItem::mhide));
    EXPECT_FALSE(Pick(TrayMenuItem::mnuunlock));
    EXPECT_FALSE(Pick(TrayMenuItem::t0));
    EXPECT_FALSE(Pick(TrayMenuItem::t1));
    EXPECT_EQ(state.PendingAction, common::PendingAction::Setup);
    EXPECT_FALSE(prompt.IsOpen());
}

TEST_F(TrayMenuTest, ExitThenCancelKeepsTheIcon) {
    Pick(TrayMenuItem::mnuexit);
    views.PressCancel();
    EXPECT_TRUE(shell.HasIcon(kMainWindow, 1));
    EXPECT_EQ(state.PendingAction, common::PendingAction::None);
    EXPECT_TRUE(log == std::vector<std::string>{"close prompt"});
}

TEST_F(TrayMenuTest, ExitWithTheRightPasswordTakesTheIconDownBeforeTheEnd) {
    Pick(TrayMenuItem::mnuexit);
    views.Type("PASSAGE");
    views.PressOk();
    EXPECT_EQ(shell.IconCount(), 0u);
    EXPECT_EQ(shell.NotifyCalls().back().message, platform::kNimDelete);
    EXPECT_EQ(log, (std::vector<std::string>{"stop watcher", "close prompt", "end process"}));
}

} // namespace
