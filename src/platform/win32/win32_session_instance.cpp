#include "platform/win32/win32_session_instance.h"

#include "platform/win32/win32_trace.h"

namespace platform::win32 {

bool Win32SessionInstance::Claim() {
    if (m_mutex)
        return true;
    UniqueHandle mutex(::CreateMutexW(nullptr, FALSE, kName));
    const DWORD error = ::GetLastError();
    if (mutex && error == ERROR_ALREADY_EXISTS)
        return false; // the running copy's
    if (!mutex) {
        // Made by a copy whose objects refuse this one (a copy the guard started, protected against the user):
        // it is there all the same.
        if (error == ERROR_ACCESS_DENIED)
            return false;
        // No lock to be had: rather one copy too many than none at all.
        TraceFailure("CreateMutexW", error);
        return true;
    }
    m_mutex = std::move(mutex);
    return true;
}

} // namespace platform::win32
