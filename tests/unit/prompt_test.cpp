#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/shared_state.h"
#include "fake_prompt_view.h"
#include "gate/password_prompt.h"
#include "gate/prompt_service.h"
#include "platform/fake/fake_desktop.h"
#include "platform/fake/fake_event_log.h"
#include "platform/native/openssl_crypto.h"

namespace common {
// Names the action in failure messages.
void PrintTo(PendingAction action, std::ostream* out) {
    *out << (action == PendingAction::Setup ? "Setup" : action == PendingAction::Exit ? "Exit" : "None");
}
} // namespace common

namespace {

using gate::PromptControl;
using testing_support::FakePromptHost;
using testing_support::FakePromptViewFactory;

const std::string kOpeningNote = " - Note: Password's are case sensitve and the default password is PASSAGE.";
const std::string kTickNote = " - Note: Password's are case senstive and the default password is PASSAGE.";

class PromptTest : public ::testing::Test {
protected:
    // The first instance has loaded its settings before any prompt opens: the default password is in force.
    void SetUp() override { state.Password.LoadStored(""); }

    platform::native::OpenSslCrypto crypto;
    common::SharedState state{common::Password(crypto, 10)};
    platform::fake::FakeDesktop desktop;
    std::vector<std::string> log;
    FakePromptHost host{log};
    FakePromptViewFactory views{log};
    platform::fake::FakeEventLog events;
    gate::PromptService prompt{state, desktop, host, views, events};

    // What the watcher does when it hides the foreground window.
    platform::WindowId WatcherHides(const std::string& title, const std::string& className) {
        platform::WindowId w = desktop.OpenForeground(title, className);
        desktop.HideWindow(w);
        state.AllowKey = className;
        state.LastHiddenWindow = w;
        state.PendingTitle = title;
        state.PendingAction = common::PendingAction::None;
        prompt.ShowPrompt();
        return w;
    }

    void TrayCommand(common::PendingAction word) {
        state.PendingAction = word;
        prompt.ShowPrompt();
    }
};

TEST_F(PromptTest, OpeningFromTheTrayShowsPasswordAndTheNote) {
    TrayCommand(common::PendingAction::Setup);
    auto& window = views.Last();
    EXPECT_EQ(window.caption, "Kestrel 2004");
    EXPECT_EQ(window.topmostCalls, 1);
    EXPECT_EQ(window.showCalls, 1);
    EXPECT_EQ(state.PendingTitle, "Password");
    EXPECT_EQ(window.label, "Password" + kOpeningNote);
    EXPECT_TRUE(window.hidden.empty());
    EXPECT_EQ(window.centredOn, std::vector<platform::WindowId>{0}) << "no window held: the primary monitor";
}

TEST_F(PromptTest, LabelShowsTheHeldTitleAndNoNoteOnceAnotherPasswordIsInForce) {
    state.Password.Set("Secret");
    WatcherHides("Crime Stories - Microsoft Internet Explorer", "IEFrame");
    EXPECT_EQ(views.Last().label, "Crime Stories - Microsoft Internet Explorer");
}

TEST_F(PromptTest, NoteFollowsAPasswordChangeWhileOpen) {
    WatcherHides("Poker Night", "PokerWnd");
    EXPECT_EQ(views.Last().label, "Poker Night" + kOpeningNote);
    views.Tick();
    EXPECT_EQ(views.Last().label, "Poker Night" + kTickNote);
    state.Password.Set("Secret");
    views.Tick();
    EXPECT_EQ(views.Last().label, "Poker Night");
    state.Password.Set("PASSAGE");
    views.Tick();
    EXPECT_EQ(views.Last().label, "Poker Night" + kTickNote);
}

TEST_F(PromptTest, WrongPasswordsChangeNothingButTheLabel) {
    const platform::WindowId w = WatcherHides("Poker Night", "PokerWnd");
    for (const std::string typed : {"passage", "Passage", "PASSAGE ", "", "PASSAG"}) {
        views.Type(typed);
        views.PressOk();
        EXPECT_EQ(views.Last().label, "Wrong Password!") << typed;
        EXPECT_EQ(views.Last().typed, typed) << "the typed text stays in the box";
        EXPECT_FALSE(views.Last().closed);
        EXPECT_FALSE(desktop.IsVisible(w));
        EXPECT_EQ(state.LastHiddenWindow, w);
        EXPECT_EQ(state.PendingAction, common::PendingAction::None);
        EXPECT_TRUE(log.empty());
    }
    // Each answer starts the refresh period again, so a slow check cannot let a due tick wipe it unseen.
    EXPECT_EQ(views.Last().timerRestarts, 5);
    views.Tick(); // about a second later the title is back, the wrong text still in the box
    EXPECT_EQ(views.Last().label, "Poker Night" + kTickNote);
    EXPECT_EQ(views.Last().typed, "PASSAG");
}

TEST_F(PromptTest, ReportsWhatThePasswordDidToTheEventLogButNeverWhatWasTyped) {
    using platform::EventKind;
    const struct {
        common::PendingAction word;
        bool held;
        std::vector<EventKind> kinds;
    } cases[] = {
        {common::PendingAction::None, true, {EventKind::WrongPassword, EventKind::WindowGivenBack}},
        {common::PendingAction::Setup, false, {EventKind::WrongPassword, EventKind::SetupOpened}},
        {common::PendingAction::Exit, true, {EventKind::WrongPassword, EventKind::ExitedThroughExit}},
    };
    for (const auto& c : cases) {
        events.Clear();
        if (c.held)
            WatcherHides("Poker Night", "PokerWnd");
        TrayCommand(c.word);
        views.Type("Secret");
        views.PressOk();
        views.Type("PASSAGE");
        views.PressOk();
        EXPECT_EQ(events.Kinds(), c.kinds) << testing::PrintToString(c.word);
        for (const auto& event : events.Events()) {
            const std::vector<std::string> expected = event.kind == EventKind::WindowGivenBack
                                                          ? std::vector<std::string>{"Poker Night"}
                                                          : std::vector<std::string>{};
            EXPECT_EQ(event.inserts, expected) << testing::PrintToString(c.word);
        }
    }
}

TEST_F(PromptTest, RightPasswordGivesTheHeldWindowBackAndAllowsItsClass) {
    const platform::WindowId w = WatcherHides("Poker Night", "PokerWnd");
    EXPECT_EQ(views.Last().centredOn, std::vector<platform::WindowId>{w}) << "on the monitor of the window it holds";
    views.Type("PASSAGE");
    views.PressOk();
    EXPECT_TRUE(desktop.IsVisible(w));
    EXPECT_EQ(log, (std::vector<std::string>{"allow PokerWnd", "close prompt"}));
    EXPECT_EQ(state.LastHiddenWindow, 0u);
    EXPECT_EQ(state.PendingTitle, "");
    EXPECT_FALSE(prompt.IsOpen());
    EXPECT_TRUE(desktop.CloseRequests().empty());
}

// With a guard that keeps Kestrel running, Exit is the guard's to grant: refused, nothing of it is done and the prompt
// says why; the setup window gets the password that opened it, for saving through the guard.
TEST_F(PromptTest, TheGuardDecidesExitAndTheSetupWindowKeepsThePasswordThatOpenedIt) {
    host.exitRefusal = "Too many wrong passwords: wait 30 seconds.";
    TrayCommand(common::PendingAction::Exit);
    views.Type("PASSAGE");
    views.PressOk();
    EXPECT_EQ(log, std::vector<std::string>{"confirm exit"});
    EXPECT_EQ(views.Last().label, *host.exitRefusal);
    EXPECT_TRUE(prompt.IsOpen());
    EXPECT_EQ(state.PendingAction, common::PendingAction::Exit);

    host.exitRefusal.reset();
    views.PressOk();
    EXPECT_EQ(log.back(), "end process");

    TrayCommand(common::PendingAction::Setup);
    views.Type("PASSAGE");
    views.PressOk();
    EXPECT_EQ(host.openedWith, "PASSAGE");
}

TEST_F(PromptTest, RightPasswordComparesWithThePasswordInForceWhenPressed) {
    TrayCommand(common::PendingAction::Setup);
    views.Type("Secret");
    views.PressOk();
    EXPECT_EQ(views.Last().label, "Wrong Password!");
    state.Password.Set("Secret"); // set-password dialog while the prompt is open
    views.PressOk();
    EXPECT_EQ(log, (std::vector<std::string>{"show setup window", "close prompt"}));
}

TEST_F(PromptTest, TrayCommandWhileAWindowIsHeldShowsItBehindWithoutAllowingIt) {
    struct Case {
        common::PendingAction word;
        std::vector<std::string> steps;
    };
    const Case cases[] = {
        {common::PendingAction::Setup, {"show setup window", "close prompt"}},
        {common::PendingAction::Exit,
         {"confirm exit", "stop watcher", "delete tray icon", "close prompt", "end process"}},
    };
    for (const auto& c : cases) {
        log.clear();
        const platform::WindowId w = WatcherHides("Poker Night", "PokerWnd");
        TrayCommand(c.word);
        EXPECT_EQ(views.Created(), 1 + (&c - cases)) << "one prompt shared by both openers";
        views.Type("PASSAGE");
        views.PressOk();
        EXPECT_EQ(log, c.steps) << testing::PrintToString(c.word) << ": its class is not allowed";
        EXPECT_TRUE(desktop.IsVisible(w)) << testing::PrintToString(c.word) << ": the held window is not left hidden";
        ASSERT_FALSE(desktop.NoActivateShows().empty()) << testing::PrintToString(c.word);
        EXPECT_EQ(desktop.NoActivateShows().back(), w)
            << testing::PrintToString(c.word) << ": nor brought to the front";
        EXPECT_EQ(state.LastHiddenWindow, 0u) << testing::PrintToString(c.word) << ": and it is no longer held";
        EXPECT_EQ(state.PendingAction, common::PendingAction::None) << testing::PrintToString(c.word);
        EXPECT_TRUE(desktop.CloseRequests().empty()) << testing::PrintToString(c.word);
    }
}

TEST_F(PromptTest, WatcherHideWhileOpenForSetupTakesOverThePrompt) {
    TrayCommand(common::PendingAction::Setup);
    views.Type("PAS");
    const platform::WindowId w = WatcherHides("Sex and the City", "IEFrame");
    EXPECT_EQ(views.Created(), 1);
    EXPECT_EQ(views.Last().typed, "PAS") << "reopening keeps the typed text";
    EXPECT_EQ(views.Last().label, "Password" + kOpeningNote) << "the label follows only at the next tick";
    views.Tick();
    EXPECT_EQ(views.Last().label, "Sex and the City" + kTickNote);
    views.Type("PASSAGE");
    views.PressOk();
    EXPECT_TRUE(desktop.IsVisible(w));
    EXPECT_EQ(log, (std::vector<std::string>{"allow IEFrame", "close prompt"}));
}

TEST_F(PromptTest, CloseBoxOnlyEmptiesTheTitle) {
    const platform::WindowId w = WatcherHides("Poker Night", "PokerWnd");
    views.PressCloseBox();
    EXPECT_FALSE(prompt.IsOpen());
    EXPECT_EQ(state.PendingTitle, "");
    EXPECT_EQ(state.PendingAction, common::PendingAction::None);
    EXPECT_EQ(state.LastHiddenWindow, w);
    EXPECT_FALSE(desktop.IsVisible(w));
    EXPECT_TRUE(desktop.CloseRequests().empty());

    TrayCommand(common::PendingAction::Exit);
    views.PressCloseBox();
    EXPECT_EQ(state.PendingAction, common::PendingAction::Exit) << "the word survives the close box";
}

TEST_F(PromptTest, CancelClosesTheHeldWindowExceptTheDesktop) {
    struct Case {
        const char* title;
        bool closeAsked;
    };
    const Case cases[] = {{"Poker Night", true}, {"Program Manager", false}, {"program manager", true}};
    for (const auto& c : cases) {
        const auto before = desktop.CloseRequests().size();
        const platform::WindowId w = WatcherHides(c.title, "Cls");
        state.PendingAction = common::PendingAction::Setup;
        views.PressCancel();
        EXPECT_EQ(desktop.CloseRequests().size() - before, c.closeAsked ? 1u : 0u) << c.title;
        if (c.closeAsked) {
            EXPECT_EQ(desktop.CloseRequests().back(), w);
        }
        EXPECT_EQ(state.PendingAction, common::PendingAction::None) << c.title;
        EXPECT_EQ(state.LastHiddenWindow, w) << c.title << ": Cancel keeps the held window";
        EXPECT_EQ(state.PendingTitle, "") << c.title;
        EXPECT_FALSE(prompt.IsOpen());
    }
}

TEST_F(PromptTest, CancelWithNoHeldWindowAsksNothingToClose) {
    TrayCommand(common::PendingAction::Exit);
    views.PressCancel();
    EXPECT_TRUE(desktop.CloseRequests().empty());
    EXPECT_TRUE(log == std::vector<std::string>{"close prompt"});
    EXPECT_EQ(state.PendingAction, common::PendingAction::None);
}

TEST_F(PromptTest, EveryClosingLeavesAFreshPromptForTheNextOpening) {
    TrayCommand(common::PendingAction::Setup);
    views.Type("wrong");
    views.PressOk();
    views.PressCancel();
    EXPECT_TRUE(views.Last().destroyed || views.Last().closed);

    TrayCommand(common::PendingAction::Setup);
    EXPECT_EQ(views.Created(), 2);
    EXPECT_EQ(views.Last().typed, "");
    EXPECT_EQ(views.Last().label, "Password" + kOpeningNote);
    EXPECT_EQ(views.Last().topmostCalls, 1) << "the opening steps run again for the new prompt";
}

TEST_F(PromptTest, ReopeningOnlyBringsToTheFront) {
    TrayCommand(common::PendingAction::Setup);
    views.Type("PASS");
    state.Password.Set("Secret");
    TrayCommand(common::PendingAction::Exit);
    EXPECT_EQ(views.Created(), 1);
    EXPECT_EQ(views.Last().showCalls, 2);
    EXPECT_EQ(views.Last().topmostCalls, 1);
    EXPECT_EQ(views.Last().typed, "PASS");
    EXPECT_EQ(views.Last().label, "Password" + kOpeningNote);
}

// Typing starts as soon as the prompt is seen: the box has the focus before the prompt comes up and again whenever
// it becomes the active window; a prompt that Windows keeps in the background flashes instead.
TEST_F(PromptTest, BoxHasTheFocusWheneverThePromptComesToTheFrontAndARefusedPromptFlashes) {
    for (const bool refused : {false, true}) {
        views.RefuseForeground(refused);
        WatcherHides("Crime Stories - Browser", "Browser");
        auto& window = views.Last();
        EXPECT_EQ(window.focused, std::vector<PromptControl>{PromptControl::txtpassword});
        EXPECT_EQ(window.flashCalls, refused ? 1 : 0);
        views.Activate();
        TrayCommand(common::PendingAction::Setup); // brought to the front again
        EXPECT_EQ(window.focused, std::vector<PromptControl>(3, PromptControl::txtpassword));
        views.PressCancel();
    }
}

// A second copy never loads the settings: no password is in force, so its notice turns into "Password" alone.
// A second instance never loads the settings: no password is in force while its notice shows.
class PromptLoadingNotice : public PromptTest {
protected:
    void SetUp() override {}
};

TEST_F(PromptLoadingNotice, TurnsIntoPasswordAtTheFirstTick) {
    views.RefuseForeground(true);
    prompt.ShowLoadingNotice();
    auto& window = views.Last();
    views.Activate();
    EXPECT_TRUE(window.focused.empty()) << "the notice has no box to type into";
    EXPECT_EQ(window.flashCalls, 0) << "the notice goes by itself";
    EXPECT_EQ(window.caption, "Kestrel 2004 Loading...");
    EXPECT_EQ(window.label, "Loading...");
    EXPECT_EQ(window.hidden, (std::set<PromptControl>{PromptControl::txtpassword, PromptControl::OKButton,
                                                      PromptControl::CancelButton}));
    EXPECT_EQ(window.showCalls, 1);
    views.Tick();
    EXPECT_EQ(window.label, "Password");

    prompt.CloseNotice();
    EXPECT_FALSE(prompt.IsOpen());
    EXPECT_EQ(state.PendingTitle, "");
}

TEST_F(PromptTest, ClosedPromptIgnoresLateEvents) {
    TrayCommand(common::PendingAction::Setup);
    auto* events = views.Last().events;
    views.Type("PASSAGE");
    views.PressOk();
    log.clear();
    // A timer message or a click already queued when the window closed.
    events->Timer1_Timer();
    events->OKButton_Click();
    events->CancelButton_Click();
    events->Form_Activate();
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(views.Last().focused.size(), 1u);
}

// The host opens the prompt again from inside the prompt's own handler: the closing prompt must live until its
// handler returns (run under the sanitizers, this catches a use after free).
TEST_F(PromptTest, OpeningFromInsideAHandlerIsSafe) {
    host.onShowSetupWindow = [this] {
        state.PendingAction = common::PendingAction::Exit;
        prompt.ShowPrompt();
        prompt.ClosePrompt();
        prompt.ShowPrompt();
    };
    state.PendingAction = common::PendingAction::Setup;
    prompt.ShowPrompt();
    views.Type("PASSAGE");
    views.PressOk(); // the setup branch reopens, closes and reopens before the first prompt closes itself
    EXPECT_TRUE(prompt.IsOpen());
    EXPECT_EQ(views.Created(), 2);
    EXPECT_EQ(state.PendingAction, common::PendingAction::Exit);
}

} // namespace
