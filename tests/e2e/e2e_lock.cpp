// The running lock: kestrel.exe reads its items from the registry, watches the foreground window and hides
// the windows whose titles hold an active item. The "browser" windows here are plain windows of this process.
#include <string>
#include <utility>
#include <vector>

#include "e2e_framework.h"

namespace {

using Items = std::vector<std::pair<std::string, std::string>>;

// The watcher looks once a second; five periods leave room for a loaded machine.
constexpr DWORD kLockWaitMs = 5000;
// How long a window that must not be locked is watched: three watcher periods.
constexpr DWORD kPassWatchMs = 3000;

// The kestrel.exe of the current test.
DWORD g_kestrel = 0;

DWORD StartWithItems(const Items& items) {
    g_kestrel = 0;
    g_kestrel = e2e::StartKestrelWithItems(items);
    return g_kestrel;
}

// The password prompt: kestrel's visible window "Kestrel 2004" (its main window has that caption too, hidden).
HWND Prompt() {
    return e2e::FindWindowOf(g_kestrel, "Kestrel 2004", true);
}

// Opens a window with this title in the foreground.
HWND OpenWindow(const std::string& title) {
    HWND window = e2e::CreateTestWindow(title);
    E2E_REQUIRE(window != nullptr, "could not create the window \"" + title + "\"");
    E2E_REQUIRE(GetForegroundWindow() == window, "could not bring \"" + title + "\" to the foreground");
    return window;
}

bool IsHidden(HWND window) {
    return IsWindow(window) && !IsWindowVisible(window);
}

// Opens a window that must be locked: it is hidden in time, not asked to close, and the prompt is up.
void IsLocked(const std::string& title) {
    HWND window = OpenWindow(title);
    E2E_CHECK(e2e::WaitUntil([&] { return IsHidden(window); }, kLockWaitMs), "\"" + title + "\" was not hidden");
    E2E_CHECK(e2e::CloseRequests(window) == 0, "\"" + title + "\" was asked to close");
    E2E_CHECK(e2e::WaitUntil([] { return Prompt() != nullptr; }), "no prompt after \"" + title + "\" was hidden");
    // The prompt takes the foreground a little after it shows (measured under Wine: up to about 100 ms). Let it
    // settle, so that the next window of the test does not open only to lose the foreground to it.
    e2e::WaitUntil([] { return Prompt() != nullptr && GetForegroundWindow() == Prompt(); }, 2000);
    e2e::Pause(300);
}

// A window that must pass: stays visible while it is in the foreground for a few watcher periods.
void ExpectPasses(const std::string& title) {
    HWND window = OpenWindow(title);
    E2E_CHECK(e2e::StaysTrue([&] { return IsWindowVisible(window) != FALSE; }, kPassWatchMs),
              "\"" + title + "\" was hidden");
}

std::vector<HWND> WindowsTitled(DWORD pid, const std::string& title, bool visible) {
    std::vector<HWND> found;
    for (HWND window : e2e::TopWindowsOf(pid))
        if (e2e::WindowText(window) == title && (IsWindowVisible(window) != FALSE) == visible)
            found.push_back(window);
    return found;
}

E2E_TEST(LockedTitleIsHiddenAndPromptAppears) {
    DWORD pid = StartWithItems({{"Item0", "Crime,1"}});
    HWND browser = OpenWindow("Crime Stories - Browser");
    E2E_REQUIRE(e2e::WaitUntil([&] { return IsHidden(browser); }, kLockWaitMs), "the window was not hidden");
    E2E_CHECK(e2e::CloseRequests(browser) == 0, "the hidden window was asked to close");

    HWND prompt = nullptr;
    E2E_CHECK(e2e::WaitUntil([&] { return (prompt = Prompt()) != nullptr; }),
              "no visible window \"Kestrel 2004\" of kestrel.exe (the password prompt)");
    if (prompt)
        e2e::SaveScreenshot("e2e_lock-prompt");
    // The prompt is the one visible window; the main window, with the same caption, stays hidden.
    E2E_CHECK(WindowsTitled(pid, "Kestrel 2004", true).size() == 1, "more than one visible \"Kestrel 2004\"");
    E2E_CHECK(WindowsTitled(pid, "Kestrel 2004", false).size() >= 1, "no hidden main window \"Kestrel 2004\"");
    E2E_CHECK(IsHidden(browser), "the window came back without the password");
}

E2E_TEST(MainWindowStaysHiddenAtStart) {
    DWORD pid = StartWithItems({});
    E2E_CHECK(e2e::StaysTrue([&] { return e2e::TopWindowsOf(pid, true).empty(); }, kPassWatchMs),
              "kestrel.exe showed a window: \"" +
                  (e2e::TopWindowsOf(pid, true).empty() ? "" : e2e::WindowText(e2e::TopWindowsOf(pid, true)[0])) +
                  "\"");
    E2E_CHECK(!WindowsTitled(pid, "Kestrel 2004", false).empty(), "no hidden main window \"Kestrel 2004\"");
}

// Items match case-sensitively. The locked window afterwards shows that the watcher was running meanwhile.
E2E_TEST(TitleInOtherCaseIsNotLocked) {
    StartWithItems({{"Item0", "Crime,1"}});
    ExpectPasses("crime stories");
    IsLocked("Crime Stories - Browser");
}

// Every name from Item0 up is read; a missing name does not end the list.
E2E_TEST(GapInItemNamesKeepsLaterItems) {
    StartWithItems({{"Item0", "Crime,1"}, {"Item2", "Poker,1"}});
    IsLocked("Poker Night");
    IsLocked("Crime Stories - Browser");
}

// Only a final "1" makes an item a rule: "Foo,x" is dropped, "Bar,0" is shown but inactive.
E2E_TEST(ItemsWithoutActiveFlagAreNotRules) {
    StartWithItems({{"Item0", "Foo,x"}, {"Item1", "Bar,0"}, {"Item2", "Crime,1"}});
    ExpectPasses("Foo,x and Foo");
    ExpectPasses("Bar,0 and Bar");
    IsLocked("Crime Stories - Browser");
}

// The flag is the last character alone; the text before ",1" may hold commas of its own.
E2E_TEST(CommaInItemTextIsPartOfTheRule) {
    StartWithItems({{"Item0", "Poker, Texas,1"}});
    ExpectPasses("Poker Night");
    ExpectPasses("Texas Rangers");
    IsLocked("Poker, Texas hold'em");
}

// A window already in front when Kestrel starts announces nothing: start-up looks at it itself. While Kestrel's
// queue never runs dry its timers cannot fire (the system makes a timer's message only when no posted message
// waits), so a window hidden meanwhile was hidden by start-up, not by the watcher's first tick.
E2E_TEST(AWindowInFrontAtStartIsCheckedByStartUpNotByTheFirstTick) {
    E2E_REQUIRE(e2e::SetLockedItems({{"Item0", "Crime,1"}}), "could not store the item");
    HWND window = OpenWindow("Crime Stories - Browser");
    const drive::KestrelProcess kestrel = drive::StartKestrelProcess();
    E2E_REQUIRE(kestrel.pid != 0, "kestrel.exe did not start");
    g_kestrel = kestrel.pid;
    bool hidden = false;
    for (const double until = drive::NowMs() + 8000; !hidden && drive::NowMs() < until;) {
        for (int i = 0; i < 300; ++i)
            PostThreadMessageA(kestrel.thread, WM_NULL, 0, 0); // refused until the thread has its queue
        e2e::Pause(0);                                         // the hide comes to this window's thread as a message
        hidden = IsHidden(window);
    }
    E2E_CHECK(hidden, "the window in front was not hidden before a tick could have come");
}

} // namespace

E2E_MAIN()
