#pragma once
#include <functional>
#include <string>
#include <vector>

#include "platform/subscription.h"
#include "platform/types.h"

namespace platform {

// A top-level window and its class name, as one enumeration of the desktop gives them.
struct TopWindow {
    WindowId id = 0;
    std::string className;
};

// What the lock engine and the prompts need from the window manager. Text is UTF-8; lengths count UTF-16 units, as
// the system's do.
class Desktop {
public:
    virtual ~Desktop() = default;
    virtual WindowId ForegroundWindow() = 0;
    // The title as GetWindowTextW gives it into a buffer of maxCount characters (NUL included):
    // at most maxCount - 1 characters, "" for no window or no title.
    virtual std::string WindowTitle(WindowId window, int maxCount) = 0;
    // The class name, at most maxCount - 1 characters; "" when it cannot be read.
    virtual std::string ClassName(WindowId window, int maxCount) = 0;
    // Hides another program's window without waiting for that program (a hung program must not stall us).
    virtual void HideWindow(WindowId window) = 0;
    // SW_SHOWNORMAL, also without waiting.
    virtual void ShowWindowNormal(WindowId window) = 0;
    // SW_SHOWNOACTIVATE, also without waiting: visible again, but what is in front stays in front.
    virtual void ShowWindowNoActivate(WindowId window) = 0;
    // Posts WM_CLOSE (0, 0); lost without effect when the window is gone.
    virtual void PostClose(WindowId window) = 0;
    // FindWindowW with a title only / a class only; 0 when none.
    virtual WindowId FindWindowByTitle(const std::string& title) = 0;
    virtual WindowId FindWindowByClass(const std::string& className) = 0;
    // True for windows that belong to this process.
    virtual bool IsOwnWindow(WindowId window) = 0;
    // Every top-level window of the desktop with its class name, as FindWindow searches them (hidden ones
    // included, message-only ones not), in one enumeration.
    virtual std::vector<TopWindow> TopLevelWindows() = 0;
    // The file name of the program whose window it is ("chrome.exe"); "" when it cannot be told.
    virtual std::string ProgramOf(WindowId window) = 0;
    // Calls listener with the window when a window becomes the foreground window, or when a top-level window
    // of the foreground window's process changes its title, as soon as the system says so (between the
    // watcher's ticks). The calls come from a message that this thread's loop, or a loop that a handler opened,
    // dispatches, for as long as the token lives (which must not outlive the desktop). Systems that do not report these
    // give no calls.
    [[nodiscard]] virtual Subscription SubscribeWindowEvents(std::function<void(WindowId)> listener) = 0;
};

} // namespace platform
