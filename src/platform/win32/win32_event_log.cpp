#include "platform/win32/win32_event_log.h"

#include <windows.h>

#include "kestrel_events.h"
#include "platform/win32/win32_text.h"
#include "platform/win32/win32_trace.h"

namespace platform::win32 {

namespace {

constexpr const wchar_t* kSourceName = L"Kestrel";

// The message table's full identifier of each kind: severity in the top bits, the event ID below.
constexpr DWORD MessageIdOf(EventKind kind) {
    switch (kind) {
    case EventKind::WindowLocked:
        return KESTREL_EVENT_WINDOW_LOCKED;
    case EventKind::WindowGivenBack:
        return KESTREL_EVENT_WINDOW_GIVEN_BACK;
    case EventKind::WrongPassword:
        return KESTREL_EVENT_WRONG_PASSWORD;
    case EventKind::SetupOpened:
        return KESTREL_EVENT_SETUP_OPENED;
    case EventKind::SettingsSaved:
        return KESTREL_EVENT_SETTINGS_SAVED;
    case EventKind::SaveRefused:
        return KESTREL_EVENT_SAVE_REFUSED;
    case EventKind::ExitedThroughExit:
        return KESTREL_EVENT_EXITED;
    case EventKind::ClosedFromOutside:
        return KESTREL_EVENT_CLOSED_FROM_OUTSIDE;
    case EventKind::RestartedByGuard:
        return KESTREL_EVENT_RESTARTED;
    }
    return 0;
}

constexpr DWORD kSeverityShift = 30;

// res/kestrel_events.mc and the kinds of the core must agree on every number and severity.
constexpr bool MessageTableMatchesKinds() {
    for (const EventKindInfo& info : kEventKinds) {
        const DWORD id = MessageIdOf(info.kind);
        const DWORD severity =
            info.severity == EventSeverity::Warning ? KESTREL_SEVERITY_WARNING : KESTREL_SEVERITY_INFORMATIONAL;
        if ((id & 0xFFFF) != static_cast<DWORD>(info.kind) || (id >> kSeverityShift) != severity)
            return false;
    }
    return true;
}
static_assert(MessageTableMatchesKinds(), "res/kestrel_events.mc and platform/event_log.h disagree");

} // namespace

Win32EventLog::Win32EventLog() : m_source(::RegisterEventSourceW(nullptr, kSourceName)) {
    if (!m_source)
        TraceLastError("RegisterEventSourceW");
}

void Win32EventLog::Write(EventKind kind, EventSeverity severity, const std::vector<std::string>& inserts) {
    if (!m_source)
        return;
    std::vector<std::wstring> wide;
    for (const std::string& insert : inserts)
        wide.push_back(Wide(insert));
    std::vector<const wchar_t*> strings;
    for (const std::wstring& insert : wide)
        strings.push_back(insert.c_str());
    const WORD type = severity == EventSeverity::Warning ? EVENTLOG_WARNING_TYPE : EVENTLOG_INFORMATION_TYPE;
    if (!::ReportEventW(m_source.get(), type, 0, MessageIdOf(kind), nullptr, static_cast<WORD>(strings.size()), 0,
                        strings.empty() ? nullptr : strings.data(), nullptr))
        TraceLastError("ReportEventW");
}

} // namespace platform::win32
