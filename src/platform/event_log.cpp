#include "platform/event_log.h"

namespace platform {

void EventLog::Report(EventKind kind, std::vector<std::string> inserts) {
    const EventKindInfo info = InfoOf(kind);
    inserts.resize(info.inserts);
    static constexpr char kCutMark[] = "...";
    for (std::string& insert : inserts) {
        if (insert.size() > kMaxEventInsert) {
            insert.resize(kMaxEventInsert - (sizeof kCutMark - 1));
            insert += kCutMark;
        }
    }
    Write(kind, info.severity, inserts);
}

} // namespace platform
