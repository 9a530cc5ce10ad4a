#include "engine/lock_engine.h"

#include <algorithm>
#include <optional>

#include "common/scoped_flag.h"
#include "engine/browsers.h"
#include "platform/ascii_case.h"
#include "platform/utf.h"

namespace engine {

using platform::RegRoot;

namespace {

constexpr unsigned kTickMs = 1000;
constexpr int kTitleBuffer = 255; // GetWindowTextW count: titles are seen as at most 254 characters
constexpr int kClassBuffer = 299; // GetClassNameW count
constexpr std::size_t kMaxTitle = kTitleBuffer - 1;
constexpr std::size_t kMaxClass = kClassBuffer - 1;
constexpr int kStoredItems = 1000; // Item0 .. Item999
constexpr const char* kDialogClass = "#32770";

// The options' own allow entries stay for as long as the list does.
bool IsPermanentAllowEntry(const std::string& entry) {
    for (const BuiltInRules& builtIn : kBuiltInRules)
        for (const char* permanent : builtIn.allow)
            if (entry == permanent)
                return true;
    return false;
}

} // namespace

LockEngine::LockEngine(store::Registry& registry, platform::Desktop& desktop, platform::TimerFactory& timers,
                       common::SharedState& state, const store::Options& options, common::PromptOpener& prompt,
                       platform::EventLog& events, common::DeferredWork& later, const platform::TextCase& textCase)
    : m_registry(registry), m_desktop(desktop), m_state(state), m_options(options), m_prompt(prompt), m_events(events),
      m_timerorv(timers.MakeTimer(kTickMs, [this] { TimerorvTick(); })), m_textCase(textCase), m_later(later) {
    // Off until the first instance's start-up switches it on.
    m_timerorv->SetEnabled(false);
    m_windowEvents = m_desktop.SubscribeWindowEvents([this](platform::WindowId window) { OnWindowEvent(window); });
}

LockEngine::~LockEngine() = default;

std::vector<ItemRow> LockEngine::ReadStoredRows() {
    std::vector<ItemRow> rows;
    for (int i = 0; i < kStoredItems; ++i) {
        // A gap does not end the walk: rows whose values could not be written close up at the next save.
        const std::string value =
            m_registry.ReadValue(RegRoot::LocalMachine, kLockedItemsKey, store::ItemName(static_cast<std::size_t>(i)));
        if (value.size() < 2)
            continue;
        // Only the last character is the flag, and exactly two are cut, so the text may hold commas and digits.
        const char flag = value.back();
        if (flag == '1' || flag == '0')
            rows.push_back(ItemRow{value.substr(0, value.size() - 2), flag == '1'});
    }
    if (rows.empty()) {
        // Suggestions for a fresh list; they lock nothing until the user ticks them and saves.
        for (const char* suggestion : {"Sex", "Crime", "Porn"})
            rows.push_back(ItemRow{suggestion, false});
    }
    return rows;
}

void LockEngine::GetWindows() {
    // Forgets every class that the password allowed earlier in the run: a window unlocked before is locked again.
    m_allow.Clear();
    for (const BuiltInRules& builtIn : kBuiltInRules) {
        if (m_options.Get(builtIn.option))
            for (const char* entry : builtIn.allow)
                m_allow.Add(entry);
    }
    std::vector<ItemRow> rows = ReadStoredRows();
    Reload(rows, m_options.Values());
    m_listwindows.Assign(std::move(rows));
}

void LockEngine::ReloadFromStore() {
    Reload(ReadStoredRows(), store::ReadStoredOptions(m_registry));
}

void LockEngine::Reload(const std::vector<ItemRow>& rows, const store::OptionSet& options) {
    m_lockedItems.clear();
    for (const ItemRow& row : rows)
        if (row.checked)
            m_lockedItems.push_back(row.text);
    for (const BuiltInRules& builtIn : kBuiltInRules) {
        if (options.Get(builtIn.option))
            m_lockedItems.insert(m_lockedItems.end(), builtIn.rules.begin(), builtIn.rules.end());
    }
    m_anyCase = options.Get(store::Option::AnyCase);
    m_lockBrowsers = options.Get(store::Option::LockBrowsers);
    const bool oneWindow = options.Get(store::Option::OneWindow);
    if (!oneWindow)
        m_allowedWindows.clear();
    m_oneWindow = oneWindow;
    // Folded once here, so that a tick folds only the title.
    m_foldedRules.clear();
    if (m_anyCase)
        for (const std::string& rule : m_lockedItems)
            m_foldedRules.push_back(m_textCase.Folded(rule));
}

void LockEngine::Allow(platform::WindowId window, const std::string& allowKey, const std::string& title) {
    if (m_oneWindow && window != 0)
        m_allowedWindows[window] = title;
    else
        m_allow.Add(allowKey);
}

store::Status LockEngine::SaveWindows() {
    WatcherPause pause(*m_timerorv);
    const store::Status saved = store::SaveItemRows(m_registry, RowsToStore());
    // No rules until the next load: the stored list is what the lock works from.
    if (saved)
        m_lockedItems.clear();
    return saved;
}

std::vector<std::string> LockEngine::RowsToStore() const {
    std::vector<std::string> rows;
    for (const ItemRow& row : m_listwindows.Rows())
        rows.push_back(row.text + (row.checked ? ",1" : ",0"));
    return rows;
}

void LockEngine::TimerorvTick() {
    // Only a loop opened inside the event check could bring a tick here now; the next one comes in a second.
    if (m_watching)
        return;
    {
        common::ScopedFlag watching(m_watching);
        CleanWindows();
        CheckForInstance();

        m_foregroundWindow = m_desktop.ForegroundWindow();
        m_foregroundTitle.clear();
        if (m_foregroundWindow != 0) {
            m_foregroundTitle = SeenTitle(m_foregroundWindow);
            WalkRules(m_foregroundWindow, m_foregroundTitle);
        }
    }
    // Events that came while the tick held the guard still get their check.
    if (!m_eventWindows.empty())
        PostEventCheck();
}

std::string LockEngine::SeenTitle(platform::WindowId window) {
    // Cut again here: the rules are matched against what a 255-character read can give, whatever the system did.
    std::string title = m_desktop.WindowTitle(window, kTitleBuffer);
    return platform::CutToUtf16Units(title, kMaxTitle);
}

void LockEngine::OnWindowEvent(platform::WindowId window) {
    // The events only hurry the watcher on: while it is off (a second instance, the way out) they do nothing.
    if (window == 0 || !m_timerorv->Enabled())
        return;
    if (std::find(m_eventWindows.begin(), m_eventWindows.end(), window) == m_eventWindows.end())
        m_eventWindows.push_back(window);
    PostEventCheck();
}

void LockEngine::PostEventCheck() {
    if (m_checkPosted)
        return;
    m_checkPosted = true;
    m_postedCheck = m_later.PostCancellable([this] { RunEventCheck(); });
}

void LockEngine::RunEventCheck() {
    m_checkPosted = false;
    // The tick that holds the guard posts the check again when it ends.
    if (m_watching || m_eventWindows.empty())
        return;
    common::ScopedFlag watching(m_watching);
    const std::vector<platform::WindowId> windows = std::move(m_eventWindows);
    m_eventWindows.clear();
    if (!m_timerorv->Enabled())
        return;
    // Only the window in front is ever hidden: an event about another one (a window behind renaming itself, or
    // one that has left the front since) asks for nothing.
    const platform::WindowId foreground = m_desktop.ForegroundWindow();
    if (foreground == 0 || std::find(windows.begin(), windows.end(), foreground) == windows.end())
        return;
    m_foregroundWindow = foreground;
    m_foregroundTitle = SeenTitle(foreground);
    WalkRules(m_foregroundWindow, m_foregroundTitle);
}

void LockEngine::WalkRules(platform::WindowId window, std::string title) {
    Walk walk;
    // Today's browsers lock as the rule "Internet Explorer" locks that one: every window of theirs.
    if (m_lockBrowsers) {
        const std::string className = m_desktop.ClassName(window, kClassBuffer);
        if (const Browser* browser = RecogniseBrowser(m_desktop.ProgramOf(window), className)) {
            if (!Match(window, title, browser->name, walk))
                return;
        }
    }
    // In any letter case: the title folded once, against the rules folded when they were built.
    const std::string folded = m_anyCase ? m_textCase.Folded(title) : std::string();
    const std::string& seen = m_anyCase ? folded : title;
    // The count is taken once; the bounds are checked again in case a handler changed the lists meanwhile.
    const std::size_t count = m_lockedItems.size();
    for (std::size_t i = 0; i < count && i < m_lockedItems.size(); ++i) {
        if (m_anyCase && i >= m_foldedRules.size())
            break;
        const std::string& rule = m_anyCase ? m_foldedRules[i] : m_lockedItems[i];
        // An empty rule (a stored value of just ",1") would otherwise match every title on the desktop.
        if (rule.empty() || seen.find(rule) == std::string::npos)
            continue;
        if (!Match(window, title, m_lockedItems[i], walk))
            return;
    }
}

bool LockEngine::Match(platform::WindowId window, const std::string& title, const std::string& item, Walk& walk) {
    // Our own prompt and setup window are never hidden, whatever their titles hold; nor do they take the held
    // window's place in the shared state.
    if (!walk.ownChecked) {
        if (m_desktop.IsOwnWindow(window))
            return false;
        walk.ownChecked = true;
    }

    std::string className = platform::CutToUtf16Units(m_desktop.ClassName(window, kClassBuffer), kMaxClass);
    // Every window has a class: none means the window closed since its title was read (or cannot be looked at). It
    // is no match; locking it would hold a dead handle and ask the window held now to close.
    if (className.empty())
        return false;
    // A window given back by itself passes while it shows what it showed then; a new title that holds a rule (a
    // tab switched to another locked page) locks it again.
    if (auto given = m_allowedWindows.find(window); given != m_allowedWindows.end()) {
        if (given->second == title)
            return true;
        m_allowedWindows.erase(given);
    }
    // Every program's standard dialogs share one class; they are told apart by their titles.
    std::string allowKey = className == kDialogClass ? title : std::move(className);
    if (m_allow.FindString(allowKey) >= 0)
        return true;

    // At most one window waits for the password: the one waiting before is asked to close.
    if (m_state.LastHiddenWindow != 0 && m_state.LastHiddenWindow != window)
        m_desktop.PostClose(m_state.LastHiddenWindow);
    m_state.LastHiddenWindow = window;
    // What the password lets pass is the held window's key, recorded with it: a window that passes meanwhile
    // because its own key is allowed must not take its place.
    m_state.AllowKey = std::move(allowKey);
    m_desktop.HideWindow(window);
    m_state.PendingTitle = title;
    m_state.PendingAction = common::PendingAction::None;
    // Once per window: the later rules that match the same title change nothing. Before the prompt shows, which may
    // run handlers that change the rule list under `item`.
    if (!walk.reported) {
        m_events.Report(platform::EventKind::WindowLocked, {title, item});
        walk.reported = true;
    }
    m_prompt.ShowPrompt();
    return true;
}

void LockEngine::CleanWindows() {
    // One enumeration of the desktop a tick, and only when something may have to go.
    bool prunable = !m_allowedWindows.empty();
    for (int i = 0; !prunable && i < m_allow.Count(); ++i)
        prunable = !IsPermanentAllowEntry(m_allow.At(i));
    if (!prunable)
        return;
    const std::vector<platform::TopWindow> windows = m_desktop.TopLevelWindows();

    // A window given back by itself: its allowance goes with it.
    std::erase_if(m_allowedWindows, [&](const auto& given) {
        return std::none_of(windows.begin(), windows.end(),
                            [&](const platform::TopWindow& w) { return w.id == given.first; });
    });

    // An entry stays while a top-level window has it as its class or, for standard dialogs, as its title (both
    // compared without regard to case, as FindWindow compares). Titles are read only when a class does not do.
    std::vector<std::string> classes;
    classes.reserve(windows.size());
    for (const platform::TopWindow& w : windows)
        classes.push_back(platform::AsciiLowered(w.className));
    std::sort(classes.begin(), classes.end());
    std::optional<std::vector<std::string>> titles;
    auto alive = [&](const std::string& entry) {
        if (std::binary_search(classes.begin(), classes.end(), platform::AsciiLowered(entry)))
            return true;
        if (!titles) {
            titles.emplace();
            for (const platform::TopWindow& w : windows)
                titles->push_back(m_textCase.Folded(m_desktop.WindowTitle(w.id, kTitleBuffer)));
            std::sort(titles->begin(), titles->end());
        }
        return std::binary_search(titles->begin(), titles->end(), m_textCase.Folded(entry));
    };
    // The count is taken once and the index moves on after a removal, so the entry that slides into a removed
    // entry's place is looked at on the next tick, and indices past the shortened end are skipped.
    const int count = m_allow.Count();
    for (int i = 0; i < count; ++i) {
        if (i >= m_allow.Count())
            continue;
        const std::string entry = m_allow.At(i);
        if (IsPermanentAllowEntry(entry) || alive(entry))
            continue;
        m_allow.RemoveAt(i);
    }
}

void LockEngine::CheckForInstance() {
    // Only a second copy of the program, alive for about two seconds, carries the caption of a new main window.
    if (m_desktop.FindWindowByTitle(kStartingCaption) == 0)
        return;
    m_state.PendingAction = common::PendingAction::Setup;
    m_prompt.ShowPrompt();
}

} // namespace engine
