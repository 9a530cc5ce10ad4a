#include "platform/fake/fake_event_log.h"

namespace platform::fake {

std::vector<EventKind> FakeEventLog::Kinds() const {
    std::vector<EventKind> kinds;
    for (const Event& event : m_events)
        kinds.push_back(event.kind);
    return kinds;
}

void FakeEventLog::Write(EventKind kind, EventSeverity severity, const std::vector<std::string>& inserts) {
    m_events.push_back({kind, severity, inserts});
}

} // namespace platform::fake
