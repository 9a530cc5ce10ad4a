#include "platform/win32/win32_desktop.h"

#include <map>
#include <string>

#include "platform/win32/win32_trace.h"

namespace platform::win32 {

namespace {

// Reads text through one of the ...A calls that fill a caller's buffer of maxCount characters and return the
// length they wrote; anything odd reads as "".
template <class Read> std::string ReadText(int maxCount, Read read) {
    if (maxCount <= 0)
        return "";
    std::string buffer(static_cast<std::size_t>(maxCount), '\0');
    const int length = read(buffer.data(), maxCount);
    if (length <= 0)
        return "";
    buffer.resize(static_cast<std::size_t>(length < maxCount ? length : maxCount - 1));
    return buffer;
}

// Which desktop a hook belongs to: the hook procedure gets no pointer of ours. Events still queued for a hook
// that is gone find nothing here and are dropped. Single-threaded, as the whole program.
std::map<HWINEVENTHOOK, Win32Desktop*>& HookOwners() {
    static std::map<HWINEVENTHOOK, Win32Desktop*> owners;
    return owners;
}

UniqueWinEventHook HookEvent(DWORD event, WINEVENTPROC proc) {
    // Our own windows are never hidden, so their events would only cost a check.
    UniqueWinEventHook hook(
        ::SetWinEventHook(event, event, nullptr, proc, 0, 0, WINEVENT_OUTOFCONTEXT | WINEVENT_SKIPOWNPROCESS));
    if (!hook)
        TraceLastError("SetWinEventHook");
    return hook;
}

} // namespace

Win32Desktop::~Win32Desktop() {
    Unhook();
}

void Win32Desktop::Unhook() {
    HookOwners().erase(m_foregroundHook.get());
    HookOwners().erase(m_nameChangeHook.get());
    m_foregroundHook.reset();
    m_nameChangeHook.reset();
}

void Win32Desktop::SubscribeWindowEvents(std::function<void(WindowId)> listener) {
    m_listener = std::move(listener);
    if (!m_listener) {
        Unhook();
        return;
    }
    if (!m_foregroundHook) {
        m_foregroundHook = HookEvent(EVENT_SYSTEM_FOREGROUND, &Win32Desktop::OnWinEvent);
        if (m_foregroundHook)
            HookOwners()[m_foregroundHook.get()] = this;
    }
    if (!m_nameChangeHook) {
        m_nameChangeHook = HookEvent(EVENT_OBJECT_NAMECHANGE, &Win32Desktop::OnWinEvent);
        if (m_nameChangeHook)
            HookOwners()[m_nameChangeHook.get()] = this;
    }
}

void CALLBACK Win32Desktop::OnWinEvent(HWINEVENTHOOK hook, DWORD event, HWND hwnd, LONG idObject, LONG idChild, DWORD,
                                       DWORD) noexcept {
    try {
        if (!hwnd || idObject != OBJID_WINDOW || idChild != CHILDID_SELF)
            return;
        if (event != EVENT_SYSTEM_FOREGROUND && event != EVENT_OBJECT_NAMECHANGE)
            return;
        // Name changes of controls inside a window are not title changes.
        if (event == EVENT_OBJECT_NAMECHANGE && ::GetAncestor(hwnd, GA_ROOT) != hwnd)
            return;
        auto it = HookOwners().find(hook);
        if (it == HookOwners().end())
            return;
        // A copy: the listener may unsubscribe while it runs.
        const std::function<void(WindowId)> listener = it->second->m_listener;
        if (listener)
            listener(ToWindowId(hwnd));
    } catch (...) {
        TraceException("the window event hook");
    }
}

WindowId Win32Desktop::ForegroundWindow() {
    return ToWindowId(::GetForegroundWindow());
}

std::string Win32Desktop::WindowTitle(WindowId window, int maxCount) {
    const HWND hwnd = ToHwnd(window);
    if (!hwnd || !::IsWindow(hwnd))
        return "";
    return ReadText(maxCount, [&](char* buffer, int count) { return ::GetWindowTextA(hwnd, buffer, count); });
}

std::string Win32Desktop::ClassName(WindowId window, int maxCount) {
    const HWND hwnd = ToHwnd(window);
    if (!hwnd || !::IsWindow(hwnd))
        return "";
    return ReadText(maxCount, [&](char* buffer, int count) { return ::GetClassNameA(hwnd, buffer, count); });
}

void Win32Desktop::HideWindow(WindowId window) {
    // Asynchronous: a synchronous call to a hung program's window would freeze the lock with it.
    const HWND hwnd = ToHwnd(window);
    if (hwnd && ::IsWindow(hwnd))
        ::ShowWindowAsync(hwnd, SW_HIDE);
}

void Win32Desktop::ShowWindowNormal(WindowId window) {
    const HWND hwnd = ToHwnd(window);
    if (hwnd && ::IsWindow(hwnd))
        ::ShowWindowAsync(hwnd, SW_SHOWNORMAL);
}

void Win32Desktop::ShowWindowNoActivate(WindowId window) {
    const HWND hwnd = ToHwnd(window);
    if (hwnd && ::IsWindow(hwnd))
        ::ShowWindowAsync(hwnd, SW_SHOWNOACTIVATE);
}

void Win32Desktop::PostClose(WindowId window) {
    const HWND hwnd = ToHwnd(window);
    if (hwnd)
        ::PostMessageA(hwnd, WM_CLOSE, 0, 0);
}

WindowId Win32Desktop::FindWindowByTitle(const std::string& title) {
    return ToWindowId(::FindWindowA(nullptr, title.c_str()));
}

WindowId Win32Desktop::FindWindowByClass(const std::string& className) {
    if (className.empty())
        return 0;
    return ToWindowId(::FindWindowA(className.c_str(), nullptr));
}

bool Win32Desktop::IsOwnWindow(WindowId window) {
    const HWND hwnd = ToHwnd(window);
    if (!hwnd)
        return false;
    DWORD process = 0;
    if (::GetWindowThreadProcessId(hwnd, &process) == 0)
        return false;
    return process == ::GetCurrentProcessId();
}

} // namespace platform::win32
