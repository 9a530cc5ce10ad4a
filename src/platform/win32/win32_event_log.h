#pragma once
#include <windows.h>

#include "platform/event_log.h"
#include "platform/win32/win32_handles.h"

namespace platform::win32 {

// The Application log under the source "Kestrel". The sentences come from the message table in kestrel.exe,
// which the installer registers as the source's message file; without that registration Event Viewer still
// keeps the events and their inserts, only without the sentences around them.
class Win32EventLog final : public EventLog {
public:
    // Registers the source once, for the program's life; a failure is traced and every later report is dropped.
    Win32EventLog();

protected:
    void Write(EventKind kind, EventSeverity severity, const std::vector<std::string>& inserts) override;

private:
    UniqueEventSource m_source;
};

} // namespace platform::win32
