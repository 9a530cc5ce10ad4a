#pragma once
// Debug traces of failures that the program carries on from. Silent to the user is not invisible to us: each
// failed system call leaves one line for the debugger ("Kestrel: RegisterClassExA failed, error 1410"), which
// DebugView shows on Windows and WINEDEBUG=+debugstr under Wine.
#include <windows.h>

namespace platform::win32 {

// A failed call and its error code (GetLastError(), or the status a registry or shell call returns).
void TraceFailure(const char* call, unsigned long error) noexcept;

// A failed call that sets the thread's last error. Call it right after the failure, before anything else can
// overwrite the code.
inline void TraceLastError(const char* call) noexcept {
    TraceFailure(call, ::GetLastError());
}

// An exception caught where it may not go on (a window procedure, a hook or timer callback).
void TraceException(const char* where) noexcept;

} // namespace platform::win32
