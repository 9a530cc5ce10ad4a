#pragma once
#include <windows.h>

#include "platform/guard_link.h"

namespace platform::win32 {

// The guard's service and its channel: a named pipe of message mode. Only the process that runs as the service
// KestrelGuard is believed: a program of the user's that made a pipe of that name first would otherwise be told
// passwords and could grant an Exit.
class Win32GuardLink final : public GuardLink {
public:
    static constexpr const wchar_t* kServiceName = L"KestrelGuard";
    static constexpr const wchar_t* kPipeName = L"\\\\.\\pipe\\KestrelGuard";
    // How long a call waits for a busy guard to take it.
    static constexpr DWORD kBusyWaitMs = 5000;

    std::optional<std::vector<std::uint8_t>> Call(const std::vector<std::uint8_t>& request) override;
};

} // namespace platform::win32
