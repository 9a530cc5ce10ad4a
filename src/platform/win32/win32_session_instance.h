#pragma once
#include <windows.h>

#include "platform/session_instance.h"
#include "platform/win32/win32_handles.h"

namespace platform::win32 {

// The session's lock: a named mutex in the session's own namespace (Local\), held from Claim to Release or the
// end of the process. A copy of another session has a lock of its own.
class Win32SessionInstance final : public SessionInstance {
public:
    static constexpr const wchar_t* kName = L"Local\\Kestrel.Session";

    bool Claim() override;
    void Release() override { m_mutex.reset(); }

private:
    UniqueHandle m_mutex;
};

} // namespace platform::win32
