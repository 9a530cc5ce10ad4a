#include "platform/win32/win32_task_keys.h"

#include "platform/task_key_filter.h"
#include "platform/win32/win32_thread_protection.h"
#include "platform/win32/win32_trace.h"

namespace platform::win32 {

namespace {

constexpr UINT kSetScreenSaverRunning = 97; // SPI_SETSCREENSAVERRUNNING
// How long a start or a stop waits for the hook's thread.
constexpr DWORD kThreadWaitMs = 5000;
// Windows removes a low-level hook, without a word, whose procedure once keeps it waiting longer than
// LowLevelHooksTimeout (at most a second since Windows 10 1709): when the process is paged out or suspended, say.
// No call tells that it happened, so the hook is put in place again this often while the lock is on.
constexpr UINT kRehookMs = 3000;

// Puts a new hook in place before the old one goes, so that no key slips through between them.
void Rehook(UniqueHook& hook, HOOKPROC proc) {
    UniqueHook fresh(::SetWindowsHookExW(WH_KEYBOARD_LL, proc, ::GetModuleHandleW(nullptr), 0));
    if (!fresh) {
        TraceLastError("SetWindowsHookExW");
        return; // the old one, if the system kept it, goes on
    }
    hook = std::move(fresh);
}

static_assert(keys::kWmKeyDown == WM_KEYDOWN && keys::kWmKeyUp == WM_KEYUP && keys::kWmSysKeyDown == WM_SYSKEYDOWN &&
              keys::kWmSysKeyUp == WM_SYSKEYUP);
static_assert(keys::kFlagAltDown == LLKHF_ALTDOWN && keys::kFlagUp == LLKHF_UP);
static_assert(keys::kVkTab == VK_TAB && keys::kVkEscape == VK_ESCAPE && keys::kVkControl == VK_CONTROL &&
              keys::kVkMenu == VK_MENU && keys::kVkLeftWindows == VK_LWIN && keys::kVkRightWindows == VK_RWIN &&
              keys::kVkLeftControl == VK_LCONTROL && keys::kVkRightControl == VK_RCONTROL &&
              keys::kVkLeftMenu == VK_LMENU && keys::kVkRightMenu == VK_RMENU);

// The filter of the one hook thread, which alone touches it: the hook procedure gets no pointer of ours.
TaskKeyFilter* g_filter = nullptr;

} // namespace

Win32TaskKeys::~Win32TaskKeys() {
    StopHook();
}

void Win32TaskKeys::SetLocked(bool locked) {
    // "true" is passed with all 32 bits set.
    if (!::SystemParametersInfoW(kSetScreenSaverRunning, locked ? static_cast<UINT>(-1) : 0u, nullptr, 0))
        TraceLastError("SystemParametersInfoW");
    if (locked)
        StartHook();
    else
        StopHook();
}

void Win32TaskKeys::StartHook() {
    if (m_thread)
        return;
    m_ready.reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!m_ready) {
        TraceLastError("CreateEventW");
        return;
    }
    m_thread.reset(::CreateThread(nullptr, 0, &Win32TaskKeys::HookThread, m_ready.get(), 0, &m_threadId));
    if (!m_thread) {
        TraceLastError("CreateThread");
        return;
    }
    ProtectLikeCallingThread(m_thread.get());
    // Until the thread has its message queue, the quit message of a stop could not reach it.
    if (::WaitForSingleObject(m_ready.get(), kThreadWaitMs) != WAIT_OBJECT_0)
        TraceFailure("WaitForSingleObject (keyboard hook thread start)", ::GetLastError());
}

void Win32TaskKeys::StopHook() {
    if (!m_thread)
        return;
    if (!::PostThreadMessageW(m_threadId, WM_QUIT, 0, 0))
        TraceLastError("PostThreadMessageW");
    else if (::WaitForSingleObject(m_thread.get(), kThreadWaitMs) != WAIT_OBJECT_0)
        TraceFailure("WaitForSingleObject (keyboard hook thread end)", ::GetLastError());
    m_thread.reset();
    m_threadId = 0;
    m_ready.reset();
}

DWORD WINAPI Win32TaskKeys::HookThread(void* param) noexcept {
    MSG msg;
    ::PeekMessageW(&msg, nullptr, WM_USER, WM_USER, PM_NOREMOVE); // makes this thread's message queue
    // The system waits for this thread at every key: it must get the processor before the programs it serves.
    if (!::SetThreadPriority(::GetCurrentThread(), THREAD_PRIORITY_ABOVE_NORMAL))
        TraceLastError("SetThreadPriority");
    TaskKeyFilter filter;
    g_filter = &filter;
    {
        UniqueHook hook;
        Rehook(hook, &Win32TaskKeys::KeyboardProc);
        const UINT_PTR rehook = ::SetTimer(nullptr, 0, kRehookMs, nullptr);
        if (!rehook)
            TraceLastError("SetTimer");
        ::SetEvent(static_cast<HANDLE>(param));
        // The system calls the hook from this loop's message retrieval; WM_QUIT ends it.
        BOOL got;
        while ((got = ::GetMessageW(&msg, nullptr, 0, 0)) > 0) {
            if (msg.message == WM_TIMER && msg.hwnd == nullptr && msg.wParam == rehook)
                Rehook(hook, &Win32TaskKeys::KeyboardProc);
            else
                ::DispatchMessageW(&msg);
        }
        if (got == -1)
            TraceLastError("GetMessageW");
        if (rehook)
            ::KillTimer(nullptr, rehook);
    }
    g_filter = nullptr;
    return 0;
}

LRESULT CALLBACK Win32TaskKeys::KeyboardProc(int code, WPARAM wParam, LPARAM lParam) noexcept {
    if (code == HC_ACTION && g_filter) {
        const auto* key = reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam);
        if (g_filter->Swallow(KeyEvent{key->vkCode, static_cast<unsigned>(wParam), key->flags}))
            return 1;
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

} // namespace platform::win32
