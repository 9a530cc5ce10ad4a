#pragma once
#include <cstddef>
#include <string>
#include <vector>

namespace platform {

// What Kestrel reports to the system's event log (the Application log, source "Kestrel"), for a parent or an
// administrator to see afterwards what was locked and who got past the password. The numbers are the event IDs
// that Event Viewer shows and that filters and forwarding subscriptions name, and res/kestrel_events.mc gives
// each one its sentence: never renumber a kind, only add new ones.
enum class EventKind : unsigned {
    WindowLocked = 100,    // inserts: the window's title, the locked item it contained
    WindowGivenBack = 101, // the window's title
    WrongPassword = 102,   // none: what was typed never goes into the log
    SetupOpened = 200,
    SettingsSaved = 201,
    SaveRefused = 202, // why the store refused
    ExitedThroughExit = 300,
    ClosedFromOutside = 301,
    RestartedByGuard = 302, // the user's name
};

enum class EventSeverity { Information, Warning };

struct EventKindInfo {
    EventKind kind;
    EventSeverity severity;
    std::size_t inserts; // how many %n its sentence has
};

inline constexpr EventKindInfo kEventKinds[] = {
    {EventKind::WindowLocked, EventSeverity::Information, 2},
    {EventKind::WindowGivenBack, EventSeverity::Information, 1},
    {EventKind::WrongPassword, EventSeverity::Warning, 0},
    {EventKind::SetupOpened, EventSeverity::Information, 0},
    {EventKind::SettingsSaved, EventSeverity::Information, 0},
    {EventKind::SaveRefused, EventSeverity::Warning, 1},
    {EventKind::ExitedThroughExit, EventSeverity::Information, 0},
    {EventKind::ClosedFromOutside, EventSeverity::Information, 0},
    {EventKind::RestartedByGuard, EventSeverity::Warning, 1},
};

constexpr EventKindInfo InfoOf(EventKind kind) {
    for (const EventKindInfo& info : kEventKinds)
        if (info.kind == kind)
            return info;
    return {kind, EventSeverity::Information, 0};
}

// Window titles are at most 254 characters, but a locked item or a reason may be longer: an insert is cut to
// this many characters, its end marked with "...", so that no event grows without bound.
constexpr std::size_t kMaxEventInsert = 256;

class EventLog {
public:
    virtual ~EventLog() = default;

    // Reports one event. The inserts fill %1, %2, ... of its sentence: each is cut to kMaxEventInsert, and
    // missing ones are given as "" and extra ones dropped, so the sentence never shows a bare "%2". Reporting
    // never fails for the caller: a log that cannot be written is the platform's to trace.
    void Report(EventKind kind, std::vector<std::string> inserts = {});

protected:
    // One event with exactly the inserts its sentence takes.
    virtual void Write(EventKind kind, EventSeverity severity, const std::vector<std::string>& inserts) = 0;
};

// Reports nothing: for programs that run the core without a log of their own (the store tests, the benchmark).
class NoEventLog final : public EventLog {
protected:
    void Write(EventKind, EventSeverity, const std::vector<std::string>&) override {}
};

} // namespace platform
