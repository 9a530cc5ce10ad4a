#pragma once
#include <map>
#include <memory>
#include <string>

#include "common/deferred_work.h"
#include "common/prompt_opener.h"
#include "common/shared_state.h"
#include "engine/built_in_rules.h"
#include "engine/locked_items.h"
#include "platform/desktop.h"
#include "platform/event_log.h"
#include "platform/text_case.h"
#include "platform/timer.h"
#include "store/item_rows.h"
#include "store/options.h"
#include "store/registry.h"
#include "store/settings.h"

namespace engine {

constexpr const char* kLockedItemsKey = store::kLockedItemsKey;
// The longest item text, in characters (UTF-16 units, as the system counts them), that a load gives back: the read
// takes the text and its ",1" or ",0" into one buffer of the registry layer.
constexpr std::size_t kMaxItemText = store::Registry::kBufferSize - 2;
constexpr const char* kRunningCaption = "Kestrel 2004";     // the first instance's main window
constexpr const char* kStartingCaption = "*** Kestrel ***"; // every main window at creation
constexpr const char* kClosingCaption = "crumbs!";          // a main window while it closes

// The one way to pause the watcher: `timerorv` is off for the lifetime of the guard and on at its end, whatever
// its state before (saving the items, removing one, adding one from the add-item dialog).
class WatcherPause {
public:
    explicit WatcherPause(platform::Timer& timerorv) : m_timer(timerorv) { m_timer.SetEnabled(false); }
    ~WatcherPause() { m_timer.SetEnabled(true); }
    WatcherPause(const WatcherPause&) = delete;
    WatcherPause& operator=(const WatcherPause&) = delete;

private:
    platform::Timer& m_timer;
};

// The lock engine of the main window: the three lists, their load and save, and the once-a-second
// watcher `timerorv` with its two sub-steps.
class LockEngine {
public:
    // Window events are checked through `later`, from the program's own loop (see OnWindowEvent).
    LockEngine(store::Registry& registry, platform::Desktop& desktop, platform::TimerFactory& timers,
               common::SharedState& state, const store::Options& options, common::PromptOpener& prompt,
               platform::EventLog& events, common::DeferredWork& later, const platform::TextCase& textCase);
    ~LockEngine();
    LockEngine(const LockEngine&) = delete;
    LockEngine& operator=(const LockEngine&) = delete;

    // Loads listwindows from the store, resets the allow list to the built-in entries of the options ticked now,
    // and builds the rules from the loaded rows and those options.
    void GetWindows();
    // Stores every row of listwindows and, when that worked, empties the rule list for the next load. A save
    // that did not happen keeps the rules in force: the store still holds what they were built from.
    store::Status SaveWindows();
    // What SaveWindows stores, row for row: the text, then ",1" for a ticked row or ",0".
    std::vector<std::string> RowsToStore() const;
    // Builds the rule list afresh: the text of every ticked row, then the built-in rules of the options that are
    // on; and takes the options for how the rules match (any letter case, one window at a time, the browsers).
    // Neither the visible list nor the allow list changes.
    void Reload(const std::vector<ItemRow>& rows, const store::OptionSet& options);
    // Builds the rules from what the store holds now: its ticked rows and its options, whatever the setup window
    // shows. The lock after a save that stopped half-way, after Remove, and while the window keeps edits of its own.
    void ReloadFromStore();
    // The password gave back the held window: windows with its allow key pass from now on; or, while one window
    // at a time is given back, that window alone, for as long as its title stays the one it had.
    void Allow(platform::WindowId window, const std::string& allowKey, const std::string& title);

    // The tick of `timerorv`, and its two sub-steps.
    void TimerorvTick();
    void CleanWindows();
    void CheckForInstance();

    // The desktop's window event: a window came to the front or changed its title. While timerorv is on, it
    // posts a check for the program's own loop (never run inside a loop that one of our handlers opened), so
    // that a window is hidden as soon as it comes to the front or its title changes, not up to a second later.
    // The check is the tick's rule walk (not the pruning, not the instance check) for the foreground window,
    // when an event named it; events that come before the check runs share it.
    void OnWindowEvent(platform::WindowId window);

    platform::Timer& timerorv() { return *m_timerorv; }
    ItemList& listwindows() { return m_listwindows; }
    const ItemList& listwindows() const { return m_listwindows; }
    const std::vector<std::string>& ListLockedItems() const { return m_lockedItems; }
    const AllowList& ListAllow() const { return m_allow; }
    // The windows given back one at a time, with the title each had then.
    const std::map<platform::WindowId, std::string>& AllowedWindows() const { return m_allowedWindows; }

    // What the last tick saw (main-window variables ForegroundWindow / ForegroundTitle).
    platform::WindowId ForegroundWindow() const { return m_foregroundWindow; }
    const std::string& ForegroundTitle() const { return m_foregroundTitle; }

private:
    // The rows the store holds now (Item0 .. Item999, gaps skipped); the suggestions when it holds none.
    std::vector<ItemRow> ReadStoredRows();
    void PostEventCheck();
    void RunEventCheck();
    // The tick's work for one window: the walk over the rules, the allow list and the hiding. The title is a copy:
    // what the walk matches stays the same whatever showing the prompt does.
    void WalkRules(platform::WindowId window, std::string title);
    struct Walk {
        bool ownChecked = false;
        bool reported = false;
    };
    // A rule (or a recognised browser) matched the window: it is hidden and held unless it may pass. False when the
    // walk is over for this window (our own, or gone).
    bool Match(platform::WindowId window, const std::string& title, const std::string& item, Walk& walk);
    // The window's title as the watcher sees it: at most 254 characters.
    std::string SeenTitle(platform::WindowId window);

    store::Registry& m_registry;
    platform::Desktop& m_desktop;
    common::SharedState& m_state;
    const store::Options& m_options;
    common::PromptOpener& m_prompt;
    platform::EventLog& m_events;
    std::unique_ptr<platform::Timer> m_timerorv;
    ItemList m_listwindows;
    std::vector<std::string> m_lockedItems;
    std::vector<std::string> m_foldedRules; // the rules without letter case, while they match in any case
    AllowList m_allow;
    std::map<platform::WindowId, std::string> m_allowedWindows;
    const platform::TextCase& m_textCase;
    bool m_anyCase = false;
    bool m_oneWindow = false;
    bool m_lockBrowsers = false;
    platform::WindowId m_foregroundWindow = 0;
    std::string m_foregroundTitle;
    common::DeferredWork& m_later;
    // The windows named by events since the last check, and whether that check is posted.
    std::vector<platform::WindowId> m_eventWindows;
    bool m_checkPosted = false;
    // The one guard of the tick and the event check: neither runs while the other is under way.
    bool m_watching = false;
    // The check posted for the main loop; it does not run once the engine has gone.
    platform::Subscription m_postedCheck;
    platform::Subscription m_windowEvents;
};

} // namespace engine
