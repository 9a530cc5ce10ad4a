#include "engine/lock_engine.h"

#include <gtest/gtest.h>

#include "platform/utf.h"
#include "test_world.h"

namespace {

using Strings = std::vector<std::string>;
using platform::WindowId;

class Watcher : public ::testing::Test {
protected:
    testworld::World world;
    engine::LockEngine& engine = world.engine;
    platform::fake::FakeDesktop& desktop = world.desktop;
    common::SharedState& state = world.state;

    // What the prompt does when the right password is given for a held window.
    void AcceptPassword() {
        desktop.ShowWindowNormal(state.LastHiddenWindow);
        engine.Allow(state.LastHiddenWindow, state.AllowKey, state.PendingTitle);
        state.LastHiddenWindow = 0;
    }
    // The items as rules, with these options stored and loaded as a save and a load leave them.
    void LoadRulesWith(const Strings& rules, std::initializer_list<store::Option> on) {
        for (store::Option option : on)
            world.options.Set(option, true);
        world.LoadRules(rules);
    }
    bool Locks(const std::string& title, const std::string& className = "App") {
        const WindowId w = desktop.OpenForeground(title, className);
        world.Tick();
        const bool locked = !desktop.IsVisible(w);
        desktop.DestroyWindow(w);
        state.LastHiddenWindow = 0;
        return locked;
    }
};

TEST_F(Watcher, InAnyLetterCaseItemsMatchByTheSystemsCaseRulesInEveryScript) {
    // What the system's one-for-one case mapping gives, folded upper then lower: the same in both directions,
    // Greek final sigma with sigma, dotted and dotless i with plain i; but "ß" is no "SS".
    const struct {
        std::string rule;
        std::string title;
        bool anyCase; // locked with the option on; with it off only the exact case locks
    } cases[] = {
        {"Poker", "poker - Search", true}, {"Poker", "POKER NIGHT", true},
        {"Казино", "КАЗИНО онлайн", true}, {"ставки", "СТАВКИ на спорт", true},
        {"Καζίνο", "ΚΑΖΊΝΟ", true},        {"Τυχερός", "ΤΥΧΕΡΌΣ", true}, // final sigma
        {"Straße", "STRAẞE", true},                                      // the capital sharp s
        {"Straße", "STRASSE", false},      {"istanbul", "İSTANBUL", true},
        {"ırmak", "IRMAK", true},          {"Poker", "Pokemon", false},
    };
    for (bool anyCase : {false, true}) {
        testworld::World fresh;
        if (anyCase)
            fresh.options.Set(store::Option::AnyCase, true);
        for (const auto& c : cases) {
            fresh.LoadRules({c.rule});
            const WindowId w = fresh.desktop.OpenForeground(c.title, "App");
            fresh.Tick();
            const bool exact = c.title.find(c.rule) != std::string::npos;
            EXPECT_EQ(!fresh.desktop.IsVisible(w), anyCase ? c.anyCase : exact)
                << c.rule << " / " << c.title << (anyCase ? " in any case" : "");
            fresh.desktop.DestroyWindow(w);
            fresh.state.LastHiddenWindow = 0;
        }
    }
}

TEST_F(Watcher, OneWindowAtATimeGivesBackThatWindowWhileItsTitleStays) {
    LoadRulesWith({"Casino", "Poker"}, {store::Option::OneWindow});
    const WindowId tab = desktop.OpenForeground("Casino Royale - Browser", "Chrome_WidgetWin_1");
    world.Tick();
    AcceptPassword();
    EXPECT_TRUE(engine.ListAllow().Entries().empty()) << "no class is allowed";
    world.Tick();
    EXPECT_TRUE(desktop.IsVisible(tab)) << "given back";
    EXPECT_TRUE(Locks("Casino Night - Browser", "Chrome_WidgetWin_1")) << "another window of the class";

    // Another page in the same window: locked again; a page that holds no item passes.
    desktop.SetForeground(tab);
    desktop.SetTitle(tab, "Poker Stars - Browser");
    world.Tick();
    EXPECT_FALSE(desktop.IsVisible(tab));
    AcceptPassword();
    desktop.SetTitle(tab, "Weather - Browser");
    world.Tick();
    EXPECT_TRUE(desktop.IsVisible(tab));

    // The allowance goes with its window.
    EXPECT_EQ(engine.AllowedWindows().size(), 1u);
    desktop.DestroyWindow(tab);
    world.Tick();
    EXPECT_TRUE(engine.AllowedWindows().empty());
}

TEST_F(Watcher, TodaysBrowsersAreLockedByTheirProgramAndWindowClassTogether) {
    LoadRulesWith({}, {store::Option::LockBrowsers});
    const struct {
        const char* program;
        const char* className;
        bool locked;
    } cases[] = {
        {"msedge.exe", "Chrome_WidgetWin_1", true},       {"chrome.exe", "Chrome_WidgetWin_1", true},
        {"firefox.exe", "MozillaWindowClass", true},      {"opera.exe", "Chrome_WidgetWin_1", true},
        {"brave.exe", "Chrome_WidgetWin_1", true},        {"vivaldi.exe", "Chrome_WidgetWin_1", true},
        {"CHROME.EXE", "Chrome_WidgetWin_1", true}, // file names compare as Windows compares them
        {"slack.exe", "Chrome_WidgetWin_1", false}, // shares the class, is no browser
        {"thunderbird.exe", "MozillaWindowClass", false}, {"chrome.exe", "Chrome_RenderWidgetHostHWND", false},
    };
    for (const auto& c : cases) {
        const WindowId w = desktop.OpenForeground("Weather today", c.className);
        desktop.SetProgram(w, c.program);
        world.Tick();
        EXPECT_EQ(!desktop.IsVisible(w), c.locked) << c.program << " " << c.className;
        if (c.locked) {
            ASSERT_FALSE(world.events.Events().empty());
            EXPECT_EQ(world.events.Events().back().inserts[0], "Weather today");
        }
        desktop.DestroyWindow(w);
        state.LastHiddenWindow = 0;
    }
}

TEST_F(Watcher, PruningEnumeratesTheDesktopOnceATickAndOnlyWhenSomethingMayGo) {
    world.options.Set(store::Option::LockInstall, true);
    world.LoadRules({});
    world.Tick();
    EXPECT_EQ(desktop.Enumerations(), 0) << "the permanent entries alone";
    for (int i = 0; i < 100; ++i) {
        const std::string className = "Class" + std::to_string(i);
        desktop.AddWindow("", className);
        engine.Allow(0, className, "");
    }
    engine.Allow(0, "A Dialog Title", "");
    desktop.AddWindow("a dialog title", "#32770");
    world.Tick();
    EXPECT_EQ(desktop.Enumerations(), 1);
    EXPECT_EQ(engine.ListAllow().Count(), 103) << "a class or a title, compared without regard to case";
}

TEST_F(Watcher, HidesForegroundWindowsWhoseTitleContainsARuleCaseSensitively) {
    world.LoadRules({"Sex", "Crime"});
    const struct {
        std::string title;
        bool locked;
    } cases[] = {
        {"Sex and the City - Microsoft Internet Explorer", true},
        {"Crime Stories - Microsoft Internet Explorer", true},
        {"sex", false},
        {"crime stories", false},
        {"Essex", false},
        {"", false},
    };
    for (const auto& c : cases) {
        state.LastHiddenWindow = 0;
        const WindowId w = desktop.OpenForeground(c.title, "IEFrame");
        world.Tick();
        EXPECT_EQ(desktop.IsVisible(w), !c.locked) << c.title;
        EXPECT_EQ(state.LastHiddenWindow, c.locked ? w : 0) << c.title;
        if (c.locked) {
            EXPECT_EQ(state.PendingTitle, c.title);
            EXPECT_EQ(state.AllowKey, "IEFrame");
            EXPECT_EQ(world.prompt.actions.back(), common::PendingAction::None);
        }
        desktop.DestroyWindow(w);
    }
    EXPECT_EQ(engine.ForegroundTitle(), "");
}

TEST_F(Watcher, ReportsEachLockOnceWithTheItemThatMatched) {
    world.LoadRules({"Poker", "Crime", "Stories"});
    const WindowId w = desktop.OpenForeground("Crime Stories - Browser", "IEFrame");
    world.Tick();
    ASSERT_FALSE(desktop.IsVisible(w));
    ASSERT_EQ(world.events.Events().size(), 1u);
    EXPECT_EQ(world.events.Events()[0].kind, platform::EventKind::WindowLocked);
    EXPECT_EQ(world.events.Events()[0].inserts, Strings({"Crime Stories - Browser", "Crime"}));
}

TEST_F(Watcher, SeesTitlesAsAtMost254CharactersOfAnyScript) {
    world.LoadRules({"NEEDLE", "ИГЛА"});
    auto times = [](const std::string& character, int count) {
        std::string text;
        for (int i = 0; i < count; ++i)
            text += character;
        return text;
    };
    // Characters, not bytes: a Cyrillic letter is one, however long its UTF-8 form.
    for (const std::string& filler : {std::string("a"), std::string("ж")}) {
        for (const std::string& needle : {std::string("NEEDLE"), std::string("ИГЛА")}) {
            const int before = 254 - static_cast<int>(platform::Utf16Length(needle));
            const std::string early = times(filler, before) + needle + times("b", 40);    // ends at 254
            const std::string late = times(filler, before + 1) + needle + times("b", 40); // ends at 255
            const WindowId w1 = desktop.OpenForeground(early, "App");
            world.Tick();
            EXPECT_FALSE(desktop.IsVisible(w1)) << filler << needle;
            EXPECT_EQ(state.PendingTitle, times(filler, before) + needle);
            EXPECT_EQ(platform::Utf16Length(engine.ForegroundTitle()), 254u);

            const WindowId w2 = desktop.OpenForeground(late, "App2");
            world.Tick();
            EXPECT_TRUE(desktop.IsVisible(w2)) << filler << needle;
            desktop.DestroyWindow(w1);
            desktop.DestroyWindow(w2);
        }
    }
}

TEST_F(Watcher, AllowListPassesWindowsByClassAndStandardDialogsByTitle) {
    world.options.Set(store::Option::LockInstall, true);
    world.LoadRules({});
    const WindowId print = desktop.OpenForeground("Print Setup", "#32770");
    world.Tick();
    EXPECT_TRUE(desktop.IsVisible(print));
    EXPECT_EQ(state.AllowKey, ""); // recorded only for a window that is hidden

    const WindowId installer = desktop.OpenForeground("Setup - Foo", "TWizardForm");
    world.Tick();
    EXPECT_FALSE(desktop.IsVisible(installer));
    EXPECT_EQ(state.AllowKey, "TWizardForm");

    const WindowId setup = desktop.OpenForeground("Setup", "#32770");
    world.Tick();
    EXPECT_FALSE(desktop.IsVisible(setup));
    EXPECT_EQ(state.AllowKey, "Setup");

    // A window that passes while one is held leaves the held window's key as it is: the password gives back and
    // allows the window it was asked for.
    desktop.OpenForeground("Print Setup", "#32770");
    world.Tick();
    EXPECT_EQ(state.LastHiddenWindow, setup);
    EXPECT_EQ(state.AllowKey, "Setup");
}

TEST_F(Watcher, AWindowWhoseClassCannotBeReadIsNoMatch) {
    world.LoadRules({"Crime"});
    const WindowId held = desktop.OpenForeground("Crime Stories", "IEFrame");
    world.Tick();
    // The window that matches next closes between the reads of its title and its class, or has no class to read.
    for (const bool closes : {true, false}) {
        const WindowId essay = desktop.OpenForeground("Crime and Punishment", closes ? "Notepad" : "");
        if (closes)
            desktop.AfterTitleRead([&](WindowId w) {
                if (w == essay)
                    desktop.DestroyWindow(essay);
            });
        world.Tick();
        desktop.AfterTitleRead(nullptr);
        EXPECT_EQ(state.LastHiddenWindow, held) << closes;
        EXPECT_EQ(state.AllowKey, "IEFrame") << closes;
        EXPECT_EQ(state.PendingTitle, "Crime Stories") << closes;
        EXPECT_EQ(desktop.HideRequests(), std::vector<WindowId>{held}) << closes;
        EXPECT_TRUE(desktop.CloseRequests().empty()) << closes;
        EXPECT_EQ(world.prompt.actions.size(), 1u) << closes;
    }
}

TEST_F(Watcher, ASecondMatchingWindowClosesTheHeldOne) {
    world.LoadRules({"Crime", "Stories"}); // two rules match each: still one hide target, no close to itself
    const WindowId first = desktop.OpenForeground("Crime Stories", "IEFrame");
    world.Tick();
    desktop.ShowWindowNormal(first); // its program shows it again while it waits: hidden again, not closed
    world.Tick();
    EXPECT_FALSE(desktop.IsVisible(first));
    EXPECT_TRUE(desktop.CloseRequests().empty());

    const WindowId second = desktop.OpenForeground("More Crime", "MozillaWindowClass");
    world.Tick();
    EXPECT_EQ(desktop.CloseRequests(), std::vector<WindowId>{first});
    EXPECT_FALSE(desktop.IsVisible(second));
    EXPECT_EQ(state.LastHiddenWindow, second);
    EXPECT_EQ(state.PendingTitle, "More Crime");
}

TEST_F(Watcher, NeverHidesTheProgramsOwnWindows) {
    world.LoadRules({"Password", "Kestrel"});
    const WindowId held = desktop.OpenForeground("Kestrel fan page", "IEFrame");
    world.Tick();
    const WindowId prompt = desktop.OpenForeground("Enter Password - Kestrel", "KestrelPrompt", true);
    world.Tick();
    EXPECT_TRUE(desktop.IsVisible(prompt));
    EXPECT_EQ(state.LastHiddenWindow, held);
    EXPECT_EQ(state.AllowKey, "IEFrame"); // the prompt does not take the held window's place
    EXPECT_TRUE(desktop.CloseRequests().empty());
}

TEST_F(Watcher, AnAllowanceLastsWhileAWindowOfItsClassExists) {
    world.LoadRules({"Crime"});
    const WindowId first = desktop.OpenForeground("Crime", "IEFrame");
    world.Tick();
    AcceptPassword();
    const WindowId second = desktop.OpenForeground("Crime 2", "IEFrame");
    world.Tick();
    EXPECT_TRUE(desktop.IsVisible(second));

    desktop.DestroyWindow(first);
    world.Tick();
    EXPECT_EQ(engine.ListAllow().Entries(), Strings{"IEFrame"});
    desktop.DestroyWindow(second);
    world.Tick();
    EXPECT_EQ(engine.ListAllow().Count(), 0);

    const WindowId third = desktop.OpenForeground("Crime 3", "IEFrame");
    world.Tick();
    EXPECT_FALSE(desktop.IsVisible(third));
}

TEST_F(Watcher, PruningSkipsTheEntryThatMovesIntoARemovedPlace) {
    world.LoadRules({});
    desktop.AddWindow("Notes", "Notepad");
    for (const char* entry : {"Gone1", "Gone2", "Notepad", "Print Setup", "Gone3", "Page Setup", "Notes"}) {
        engine.Allow(0, entry, "");
    }
    world.Tick();
    // Gone1 and Gone3 went; Gone2 slid into Gone1's place after it had been looked at, so it waits a tick.
    EXPECT_EQ(engine.ListAllow().Entries(), (Strings{"Gone2", "Notepad", "Print Setup", "Page Setup", "Notes"}));
    world.Tick();
    EXPECT_EQ(engine.ListAllow().Entries(), (Strings{"Notepad", "Print Setup", "Page Setup", "Notes"}));
}

TEST_F(Watcher, ASecondInstanceAsksForThePasswordToOpenSetup) {
    world.LoadRules({"Crime"});
    const WindowId held = desktop.OpenForeground("Crime", "IEFrame");
    world.Tick();
    desktop.SetForeground(0);
    const WindowId newcomer = desktop.AddWindow(engine::kStartingCaption, "KestrelMain");
    world.Tick();
    EXPECT_EQ(world.prompt.actions.back(), common::PendingAction::Setup);
    EXPECT_EQ(state.LastHiddenWindow, held);
    EXPECT_EQ(state.PendingTitle, "Crime");

    desktop.DestroyWindow(newcomer);
    const std::size_t shown = world.prompt.actions.size();
    world.Tick();
    EXPECT_EQ(world.prompt.actions.size(), shown);
}

// --- window events between ticks ---

TEST_F(Watcher, AWindowEventPostsOneCheckOfTheForegroundWindowForTheMainLoop) {
    world.LoadRules({"Crime"});
    engine.Allow(0, "Gone", ""); // stale, but pruning is the tick's work
    desktop.AddWindow(engine::kStartingCaption, "KestrelMain");
    const WindowId background = desktop.AddWindow("Crime in the background", "IEFrame");
    const WindowId w = desktop.OpenForeground("Weather", "IEFrame");

    desktop.RaiseWindowEvent(background);
    desktop.RaiseWindowEvent(w);
    world.later.RunIfIdle();
    EXPECT_TRUE(desktop.IsVisible(background));
    EXPECT_TRUE(desktop.IsVisible(w));

    desktop.SetTitle(w, "Crime Stories"); // a page change in the same browser window
    for (int i = 0; i < 100; ++i)
        desktop.RaiseWindowEvent(w);
    EXPECT_TRUE(desktop.IsVisible(w)) << "checked inside the event's callback";
    EXPECT_EQ(world.later.Waiting(), 1u);
    world.later.RunIfIdle();
    EXPECT_FALSE(desktop.IsVisible(w));
    EXPECT_EQ(state.LastHiddenWindow, w);
    EXPECT_EQ(state.PendingTitle, "Crime Stories");
    EXPECT_EQ(world.prompt.actions, std::vector{common::PendingAction::None});
    EXPECT_EQ(engine.ListAllow().Entries(), Strings{"Gone"});
}

// A loop that runs while the tick is under way (here: one that runs the posted work while the prompt comes up)
// does not get the event check in: it waits for the tick and runs after it.
TEST_F(Watcher, TheTickAndTheEventCheckShareOneGuard) {
    world.LoadRules({"Crime"});
    desktop.AddWindow(engine::kStartingCaption, "KestrelMain"); // the tick shows the prompt for the setup window
    const WindowId w = desktop.OpenForeground("Weather", "IEFrame");
    std::size_t hiddenDuringTheTick = 0;
    world.prompt.onShow = [&] {
        world.prompt.onShow = nullptr;
        desktop.SetTitle(w, "Crime Stories");
        desktop.RaiseWindowEvent(w);
        world.later.RunIfIdle();
        hiddenDuringTheTick = desktop.HideRequests().size();
    };
    world.Tick();
    EXPECT_EQ(hiddenDuringTheTick, 0u);
    EXPECT_EQ(desktop.HideRequests(), std::vector<WindowId>{w}); // by the tick, which read the title after
    world.later.RunIfIdle();
    EXPECT_EQ(desktop.HideRequests(), (std::vector<WindowId>{w, w})); // the event's own check, after the tick
}

TEST(DeferredWork, RunsOnlyWhenNoDispatchIsUnderWayInTheOrderPosted) {
    common::DeferredWork later;
    std::vector<int> ran;
    {
        common::DeferredWork::Dispatch handler(later); // a handler of ours, waiting in a message box's loop
        later.Post([&] {
            ran.push_back(1);
            later.Post([&] { ran.push_back(3); });
            later.RunIfIdle(); // a loop opened by the work itself
        });
        later.Post([&] { ran.push_back(2); });
        later.RunIfIdle(); // the message box's loop
        EXPECT_TRUE(ran.empty());
    }
    later.RunIfIdle(); // the program's loop, once the handler is done
    EXPECT_EQ(ran, (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(later.Waiting(), 0u);
}

TEST_F(Watcher, WindowEventsDoNothingWhileTheWatcherIsOffOrGone) {
    world.LoadRules({"Crime"});
    const WindowId w = desktop.OpenForeground("Crime", "IEFrame");
    engine.timerorv().SetEnabled(false);
    desktop.RaiseWindowEvent(w);
    EXPECT_TRUE(desktop.IsVisible(w));

    platform::fake::FakeDesktop otherDesktop; // an engine that goes away takes its listener with it
    auto other = std::make_unique<engine::LockEngine>(world.registry, otherDesktop, world.timers, state, world.options,
                                                      world.prompt, world.events, world.later, world.textCase);
    EXPECT_TRUE(otherDesktop.HasWindowEventListener());
    other.reset();
    EXPECT_FALSE(otherDesktop.HasWindowEventListener());
}

} // namespace
