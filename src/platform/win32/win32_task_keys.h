#pragma once
#include <windows.h>

#include "platform/task_keys.h"
#include "platform/win32/win32_handles.h"

namespace platform::win32 {

// The task-key lock. SystemParametersInfoW(SPI_SETSCREENSAVERRUNNING) blocks Ctrl+Alt+Del and the task-switching
// keys on the older Windows family only; on the NT family it blocks nothing. So while the lock is on, a
// low-level keyboard hook also keeps Alt+Tab, Alt+Esc, Ctrl+Esc and the Windows keys from the system
// (TaskKeyFilter). Ctrl+Alt+Del itself no program can block. The hook runs on a thread of its own with its own
// message loop: the system drops a low-level hook that keeps it waiting, and the user-interface thread may be
// busy checking a password. The hook goes when the lock is switched off and with this object.
class Win32TaskKeys final : public TaskKeys {
public:
    Win32TaskKeys() = default;
    ~Win32TaskKeys() override;
    Win32TaskKeys(const Win32TaskKeys&) = delete;
    Win32TaskKeys& operator=(const Win32TaskKeys&) = delete;

    void SetLocked(bool locked) override;

private:
    void StartHook();
    void StopHook();
    static DWORD WINAPI HookThread(void* param) noexcept;
    static LRESULT CALLBACK KeyboardProc(int code, WPARAM wParam, LPARAM lParam) noexcept;

    UniqueHandle m_thread;
    DWORD m_threadId = 0;
    UniqueHandle m_ready; // set by the thread once its hook is in place (or failed) and its queue exists
};

} // namespace platform::win32
