#pragma once
#include <functional>
#include <string>
#include <vector>

#include "platform/desktop.h"

namespace platform::fake {

// An in-memory desktop: top-level windows with title, class, visibility and owner process, one foreground
// window, and a record of what the program asked of them. Windows are searched in the order they were made.
class FakeDesktop : public Desktop {
public:
    struct Window {
        WindowId id = 0;
        std::string title;
        std::string className;
        bool visible = true;
        bool own = false;    // belongs to the program under test
        std::string program; // the file name of its program
    };

    // Desktop
    WindowId ForegroundWindow() override { return m_foreground; }
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
    Subscription SubscribeWindowEvents(std::function<void(WindowId)> listener) override {
        return m_windowEvents.Subscribe(std::move(listener));
    }

    // A window event as the system reports it (foreground changed, or a title changed); nothing when no one
    // listens.
    void RaiseWindowEvent(WindowId window) { m_windowEvents.Notify(window); }
    bool HasWindowEventListener() const { return m_windowEvents.Count() != 0; }

    // Setting up the world.
    WindowId AddWindow(const std::string& title, const std::string& className, bool own = false);
    // The file name of the program a window belongs to.
    void SetProgram(WindowId window, const std::string& program);
    // How often the windows were enumerated.
    int Enumerations() const { return m_enumerations; }
    // Adds a window and makes it the foreground window.
    WindowId OpenForeground(const std::string& title, const std::string& className, bool own = false);
    void DestroyWindow(WindowId window); // the foreground becomes 0 when it was this window
    void SetForeground(WindowId window) { m_foreground = window; }
    void SetTitle(WindowId window, const std::string& title);
    // Runs after every title read, so that the world can change between two reads of the program (a window that
    // closes while it is being looked at). An empty hook runs nothing.
    void AfterTitleRead(std::function<void(WindowId)> hook) { m_afterTitleRead = std::move(hook); }

    // Looking at the world.
    bool IsVisible(WindowId window) const;
    const Window* Find(WindowId window) const;
    // WM_CLOSE requests posted, in order (also those to windows that were gone).
    const std::vector<WindowId>& CloseRequests() const { return m_closeRequests; }
    // Hide requests, in order.
    const std::vector<WindowId>& HideRequests() const { return m_hideRequests; }
    // Windows shown again without being activated, in order.
    const std::vector<WindowId>& NoActivateShows() const { return m_noActivateShows; }

private:
    Window* FindMutable(WindowId window);

    std::vector<Window> m_windows;
    WindowId m_foreground = 0;
    WindowId m_nextId = 0x10010;
    std::vector<WindowId> m_closeRequests;
    std::vector<WindowId> m_hideRequests;
    std::vector<WindowId> m_noActivateShows;
    int m_enumerations = 0;
    Notifier<WindowId> m_windowEvents;
    std::function<void(WindowId)> m_afterTitleRead;
};

} // namespace platform::fake
