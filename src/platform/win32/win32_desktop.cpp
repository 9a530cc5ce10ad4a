#include "platform/win32/win32_desktop.h"

#include <map>
#include <string>

#include "platform/win32/win32_text.h"
#include "platform/win32/win32_trace.h"

namespace platform::win32 {

namespace {

// Reads text through one of the wide calls that fill a caller's buffer of maxCount characters and return the
// length they wrote; anything odd reads as "".
template <class Read> std::string ReadText(int maxCount, Read read) {
    if (maxCount <= 0)
        return "";
    std::wstring buffer(static_cast<std::size_t>(maxCount), L'\0');
    const int length = read(buffer.data(), maxCount);
    if (length <= 0)
        return "";
    return Utf8Of(buffer.data(), static_cast<std::size_t>(length < maxCount ? length : maxCount - 1));
}

// Which desktop a hook belongs to: the hook procedure gets no pointer of ours. Events still queued for a hook
// that is gone find nothing here and are dropped. Single-threaded, as the whole program.
std::map<HWINEVENTHOOK, Win32Desktop*>& HookOwners() {
    static std::map<HWINEVENTHOOK, Win32Desktop*> owners;
    return owners;
}

constexpr UINT kWindowEventMessage = WM_APP + 0x31; // wParam: the window, lParam: the event

UniqueWinEventHook HookEvent(DWORD event, WINEVENTPROC proc, DWORD process, DWORD flags) {
    UniqueWinEventHook hook(::SetWinEventHook(event, event, nullptr, proc, process, 0, WINEVENT_OUTOFCONTEXT | flags));
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
    m_titleProcess = 0;
}

Subscription Win32Desktop::SubscribeWindowEvents(std::function<void(WindowId)> listener) {
    Subscription subscription = m_listeners.Subscribe(std::move(listener));
    Hook();
    // The hooks stay only while someone listens.
    return Subscription([this, inner = std::make_shared<Subscription>(std::move(subscription))] {
        inner->Reset();
        if (m_listeners.Count() == 0)
            Unhook();
    });
}

void Win32Desktop::Hook() {
    if (!m_eventWindow.Make())
        return;
    if (!m_foregroundHook) {
        // Our own windows are never hidden, so their events would only cost a check.
        m_foregroundHook = HookEvent(EVENT_SYSTEM_FOREGROUND, &Win32Desktop::OnWinEvent, 0, WINEVENT_SKIPOWNPROCESS);
        if (m_foregroundHook)
            HookOwners()[m_foregroundHook.get()] = this;
    }
    FollowForeground(::GetForegroundWindow());
}

void Win32Desktop::FollowForeground(HWND foreground) {
    if (m_listeners.Count() == 0)
        return;
    DWORD process = 0;
    if (foreground)
        ::GetWindowThreadProcessId(foreground, &process);
    if (process == m_titleProcess)
        return;
    HookOwners().erase(m_nameChangeHook.get());
    m_nameChangeHook.reset();
    m_titleProcess = process;
    // No process would mean every process; our own windows are never hidden.
    if (process == 0 || process == ::GetCurrentProcessId())
        return;
    // Without WINEVENT_SKIPOWNPROCESS: the hook names another process already, and Wine takes that flag with a
    // process as "skip that process" (measured: not one event arrives).
    m_nameChangeHook = HookEvent(EVENT_OBJECT_NAMECHANGE, &Win32Desktop::OnWinEvent, process, 0);
    if (m_nameChangeHook)
        HookOwners()[m_nameChangeHook.get()] = this;
}

void CALLBACK Win32Desktop::OnWinEvent(HWINEVENTHOOK hook, DWORD event, HWND hwnd, LONG idObject, LONG idChild, DWORD,
                                       DWORD) noexcept {
    try {
        if (!hwnd || idObject != OBJID_WINDOW || idChild != CHILDID_SELF)
            return;
        auto it = HookOwners().find(hook);
        if (it == HookOwners().end() || !it->second->m_eventWindow.Handle())
            return;
        if (!::PostMessageW(it->second->m_eventWindow.Handle(), kWindowEventMessage, reinterpret_cast<WPARAM>(hwnd),
                            static_cast<LPARAM>(event)))
            TraceLastError("PostMessageW");
    } catch (...) {
        TraceException("the window event hook");
    }
}

LRESULT Win32Desktop::EventWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != kWindowEventMessage)
        return Default(message, wParam, lParam);
    m_desktop.OnEvent(static_cast<DWORD>(lParam), reinterpret_cast<HWND>(wParam));
    return 0;
}

void Win32Desktop::OnEvent(DWORD event, HWND hwnd) {
    if (event == EVENT_SYSTEM_FOREGROUND) {
        FollowForeground(hwnd);
    } else if (event != EVENT_OBJECT_NAMECHANGE || ::GetAncestor(hwnd, GA_ROOT) != hwnd) {
        return; // name changes of controls inside a window are not title changes
    }
    m_listeners.Notify(ToWindowId(hwnd));
}

WindowId Win32Desktop::ForegroundWindow() {
    const HWND foreground = ::GetForegroundWindow();
    // The watcher asks once a second: a new foreground process that raised no event is followed from here.
    FollowForeground(foreground);
    return ToWindowId(foreground);
}

std::string Win32Desktop::WindowTitle(WindowId window, int maxCount) {
    const HWND hwnd = ToHwnd(window);
    if (!hwnd || !::IsWindow(hwnd))
        return "";
    return ReadText(maxCount, [&](wchar_t* buffer, int count) { return ::GetWindowTextW(hwnd, buffer, count); });
}

std::string Win32Desktop::ClassName(WindowId window, int maxCount) {
    const HWND hwnd = ToHwnd(window);
    if (!hwnd || !::IsWindow(hwnd))
        return "";
    return ReadText(maxCount, [&](wchar_t* buffer, int count) { return ::GetClassNameW(hwnd, buffer, count); });
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
        ::PostMessageW(hwnd, WM_CLOSE, 0, 0);
}

WindowId Win32Desktop::FindWindowByTitle(const std::string& title) {
    return ToWindowId(::FindWindowW(nullptr, Wide(title).c_str()));
}

WindowId Win32Desktop::FindWindowByClass(const std::string& className) {
    if (className.empty())
        return 0;
    return ToWindowId(::FindWindowW(Wide(className).c_str(), nullptr));
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

std::vector<TopWindow> Win32Desktop::TopLevelWindows() {
    std::vector<TopWindow> windows;
    const auto collect = [](HWND hwnd, LPARAM param) noexcept -> BOOL {
        try {
            auto& list = *reinterpret_cast<std::vector<TopWindow>*>(param);
            wchar_t name[256];
            const int length = ::GetClassNameW(hwnd, name, 256);
            list.push_back({ToWindowId(hwnd), length > 0 ? Utf8Of(name, static_cast<std::size_t>(length)) : ""});
            return TRUE;
        } catch (...) {
            return FALSE; // no memory: the windows so far
        }
    };
    if (!::EnumWindows(collect, reinterpret_cast<LPARAM>(&windows)) && windows.empty())
        TraceLastError("EnumWindows");
    return windows;
}

std::string Win32Desktop::ProgramOf(WindowId window) {
    DWORD processId = 0;
    const HWND hwnd = ToHwnd(window);
    if (!hwnd || ::GetWindowThreadProcessId(hwnd, &processId) == 0)
        return "";
    // The least access that tells the image's name, granted for other users' and elevated processes too.
    const UniqueHandle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
    if (!process) {
        TraceLastError("OpenProcess");
        return "";
    }
    wchar_t path[MAX_PATH * 2];
    DWORD size = MAX_PATH * 2;
    if (!::QueryFullProcessImageNameW(process.get(), 0, path, &size)) {
        TraceLastError("QueryFullProcessImageNameW");
        return "";
    }
    const std::wstring full(path, size);
    const std::size_t slash = full.find_last_of(L"\\/");
    return Utf8Of(slash == std::wstring::npos ? full : full.substr(slash + 1));
}

} // namespace platform::win32
