#include "platform/win32/win32_task_keys.h"

#include <windows.h>

#include "platform/win32/win32_trace.h"

namespace platform::win32 {

namespace {
constexpr UINT kSetScreenSaverRunning = 97; // SPI_SETSCREENSAVERRUNNING
}

void Win32TaskKeys::SetLocked(bool locked) {
    // "true" is passed with all 32 bits set.
    if (!::SystemParametersInfoA(kSetScreenSaverRunning, locked ? static_cast<UINT>(-1) : 0u, nullptr, 0))
        TraceLastError("SystemParametersInfoA");
}

} // namespace platform::win32
