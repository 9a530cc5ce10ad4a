// The administrative template as Group Policy would apply it: each policy's own registry writes, read from
// policy/kestrel.admx and carried out with Wine's reg.exe while Kestrel runs (Wine has no Group Policy client).
// The running kestrel.exe then obeys without a restart: an item locks, an option takes effect.
#include <string>
#include <vector>

#include "e2e_framework.h"
#include "installation.h"
#include "policy_template.h"

namespace {

using policy_template::State;

// The store is looked at once a second; a slow shared machine gets plenty more.
constexpr DWORD kObeyWaitMs = 15000;
// A window that must pass stays in front for a few watcher periods.
constexpr DWORD kPassWatchMs = 3000;

// Applies the template's writes for one policy in one state.
void Apply(const std::string& policy, State state, const std::vector<std::string>& entries = {}) {
    static const auto policies =
        policy_template::Parse(policy_template::ReadFile(e2e::ExeDir() + "policy\\kestrel.admx"));
    const auto commands = policy_template::RegCommands(policies, policy, state, entries);
    E2E_REQUIRE(!commands.empty(), "the template has no writes for " + policy);
    for (const std::string& command : commands)
        E2E_REQUIRE(installation::RunAndWait(command, 30000) == 0, "failed: " + command);
}

HWND Open(const std::string& title) {
    HWND window = e2e::CreateTestWindow(title);
    E2E_REQUIRE(window != nullptr && GetForegroundWindow() == window, "could not bring \"" + title + "\" forward");
    return window;
}

bool Hidden(HWND window) {
    return IsWindow(window) && !IsWindowVisible(window);
}

// A window that Kestrel must lock once it has taken the policies in. Destroyed afterwards, so that the next
// window is the one held.
void Locks(const std::string& title) {
    HWND window = Open(title);
    E2E_CHECK(e2e::WaitUntil([&] { return Hidden(window); }, kObeyWaitMs), "\"" + title + "\" was not locked");
    DestroyWindow(window);
    // The prompt takes the foreground a moment after it shows: the next window must not lose it to the prompt.
    e2e::WaitUntil(
        [] {
            HWND front = GetForegroundWindow();
            return front && e2e::WindowText(front) == "Kestrel 2004";
        },
        2000);
    e2e::Pause(300);
}

void Passes(const std::string& title) {
    HWND window = Open(title);
    E2E_CHECK(e2e::StaysTrue([&] { return IsWindowVisible(window) != FALSE; }, kPassWatchMs),
              "\"" + title + "\" was locked");
    DestroyWindow(window);
}

E2E_TEST(EnabledPoliciesLockTheirItemsAndSwitchOnTheirOptions) {
    E2E_REQUIRE(e2e::StartKestrelAndWait() != 0, "kestrel.exe did not start");
    HWND unticked = Open("Poker Night");
    Apply("LockedItems", State::Enabled, {"Crime,1", "Poker,0"});
    Apply("LockInstall", State::Enabled);
    Apply("LockInternetExplorer", State::Enabled);
    Apply("LockKeys", State::Enabled);
    Apply("StopPopupAds", State::Enabled);
    Apply("AnyCase", State::Enabled);
    Apply("OneWindow", State::Enabled);
    Apply("LockBrowsers", State::Enabled);

    Locks("Crime Stories - Browser");
    Locks("CRIME NEWS - Browser"); // in any letter case
    Locks("Setup - Foo");
    Locks("Welcome - Internet Explorer");
    Locks("Task Manager");
    // An entry stored with ",0" is a row of the list, but no rule: the window opened first was never locked.
    E2E_CHECK(IsWindowVisible(unticked) != FALSE, "\"Poker Night\" was locked by an unticked entry");
    E2E_CHECK(e2e::ReadRaw(HKEY_LOCAL_MACHINE, e2e::kSettingsKey, "Popup").exists, "StopPopupAds wrote nothing");
    for (const char* value : {"OneWindow", "LockBrowsers"})
        E2E_CHECK(e2e::ReadText(HKEY_LOCAL_MACHINE, e2e::kSettingsKey, value) == std::optional<std::string>("1"),
                  std::string(value) + " was not switched on");
}

E2E_TEST(DisabledPoliciesSwitchOffWhatTheyWrite) {
    Apply("LockedItems", State::Enabled, {"Crime,1"});
    Apply("LockInstall", State::Enabled);
    E2E_REQUIRE(e2e::StartKestrelAndWait() != 0, "kestrel.exe did not start");
    Locks("Setup - Foo");

    Apply("LockInstall", State::Disabled);
    // Last, and locking something new: once it locks, everything written before it has been taken in.
    Apply("LockedItems", State::Enabled, {"Dice,1"});
    Locks("Dice Game");
    Passes("Setup - Bar");
    Passes("Crime Scene");
}

} // namespace

E2E_MAIN()
