#pragma once
#include <string>
#include <vector>

#include "platform/event_log.h"

namespace platform::fake {

// An event log that keeps every event written to it, in order, as the system would store it.
class FakeEventLog : public EventLog {
public:
    struct Event {
        EventKind kind;
        EventSeverity severity;
        std::vector<std::string> inserts;
    };

    const std::vector<Event>& Events() const { return m_events; }
    // The kinds alone, in order: what most tests compare.
    std::vector<EventKind> Kinds() const;
    void Clear() { m_events.clear(); }

protected:
    void Write(EventKind kind, EventSeverity severity, const std::vector<std::string>& inserts) override;

private:
    std::vector<Event> m_events;
};

} // namespace platform::fake
