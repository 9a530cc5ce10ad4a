#pragma once
#include <functional>

#include <windows.h>

#include "platform/desktop.h"
#include "platform/win32/win32_handles.h"
#include "platform/win32/win32_window.h"

namespace platform::win32 {

// The window manager through user32's wide functions. A WindowId is the HWND's value.
class Win32Desktop final : public Desktop {
public:
    Win32Desktop() = default;
    ~Win32Desktop() override;
    Win32Desktop(const Win32Desktop&) = delete;
    Win32Desktop& operator=(const Win32Desktop&) = delete;

    WindowId ForegroundWindow() override;
    std::string WindowTitle(WindowId window, int maxCount) override;
    std::string ClassName(WindowId window, int maxCount) override;
    void HideWindow(WindowId window) override;
    void ShowWindowNormal(WindowId window) override;
    void ShowWindowNoActivate(WindowId window) override;
    void PostClose(WindowId window) override;
    WindowId FindWindowByTitle(const std::string& title) override;
    WindowId FindWindowByClass(const std::string& className) override;
    bool IsOwnWindow(WindowId window) override;
    std::vector<TopWindow> TopLevelWindows() override;
    std::string ProgramOf(WindowId window) override;
    // Out-of-context win-event hooks: EVENT_SYSTEM_FOREGROUND for every other process, EVENT_OBJECT_NAMECHANGE
    // for the foreground window's process only (moved along with the foreground, as a foreground event or
    // ForegroundWindow() shows it), so that programs in the background may rename their windows for nothing.
    // Installed with the first listener, removed when the last one's token goes or on destruction.
    Subscription SubscribeWindowEvents(std::function<void(WindowId)> listener) override;

private:
    static void CALLBACK OnWinEvent(HWINEVENTHOOK hook, DWORD event, HWND hwnd, LONG idObject, LONG idChild,
                                    DWORD thread, DWORD time) noexcept;
    void OnEvent(DWORD event, HWND hwnd);
    void FollowForeground(HWND foreground);
    void Hook();
    void Unhook();

    Notifier<WindowId> m_listeners;
    // The hooks' events come here as posted messages: a hook callback runs inside whatever loop is retrieving
    // messages at the time, and only posts.
    class EventWindow final : public MessageWindow {
    public:
        explicit EventWindow(Win32Desktop& desktop) : m_desktop(desktop) {}
        bool Make() { return Handle() || CreateMessageOnly(L"KestrelWindowEvents"); }

    private:
        LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
        Win32Desktop& m_desktop;
    };
    EventWindow m_eventWindow{*this};
    UniqueWinEventHook m_foregroundHook;
    UniqueWinEventHook m_nameChangeHook;
    DWORD m_titleProcess = 0; // whose title changes m_nameChangeHook reports; 0: none
};

} // namespace platform::win32
