#include "platform/win32/win32_trace.h"

#include <cstdio>
#include <exception>

namespace platform::win32 {

void TraceFailure(const char* call, unsigned long error) noexcept {
    char line[256];
    std::snprintf(line, sizeof line, "Kestrel: %s failed, error %lu\n", call ? call : "?", error);
    ::OutputDebugStringA(line);
}

void TraceException(const char* where) noexcept {
    char line[384];
    const char* what = "unknown exception";
    // Called from a catch block, the exception being handled says what it was.
    if (std::exception_ptr current = std::current_exception()) {
        try {
            std::rethrow_exception(current);
        } catch (const std::exception& e) {
            what = e.what();
        } catch (...) {
        }
    }
    std::snprintf(line, sizeof line, "Kestrel: exception in %s: %s (error %lu)\n", where ? where : "?", what,
                  ::GetLastError());
    ::OutputDebugStringA(line);
}

} // namespace platform::win32
