#pragma once
#include <windows.h>

#include "platform/win32/win32_handles.h"

namespace platform::win32 {

// A window of the program that is not a dialog: the main window, and the message-only windows through which
// other threads and system callbacks hand work to the user-interface thread. The object owns its window
// (destroyed with it, or earlier by the system) and hears of its messages through HandleMessage, a member that
// runs behind one exception guard: no exception crosses the window procedure. The window is made by Create,
// which the derived class calls once it is ready for its messages; from WM_NCCREATE on they reach it.
class MessageWindow {
public:
    MessageWindow(const MessageWindow&) = delete;
    MessageWindow& operator=(const MessageWindow&) = delete;

    HWND Handle() const noexcept { return m_window.get(); }

    // What a window is made as.
    struct Shape {
        const char* title = ""; // UTF-8
        DWORD style = 0;
        DWORD exStyle = 0;
        int x = 0, y = 0, width = 0, height = 0;
        HWND parent = nullptr; // HWND_MESSAGE for a message-only window
        HICON icon = nullptr, smallIcon = nullptr;
        HBRUSH background = nullptr;
    };

protected:
    MessageWindow() = default;
    // Cuts the window off before destroying it: its last messages find no object to call.
    virtual ~MessageWindow();

    // Registers the class (once per process) and makes the window; false (and a trace) when the system makes none.
    bool Create(HINSTANCE instance, const wchar_t* className, const Shape& shape) noexcept;
    // A message-only window: it receives posted and sent messages and nothing else.
    bool CreateMessageOnly(const wchar_t* className) noexcept;

    // A message of the window. Return the window procedure's result; Default() for what the class does not take.
    virtual LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) = 0;
    // The system's default handling of a message.
    LRESULT Default(UINT message, WPARAM wParam, LPARAM lParam) noexcept;
    // What the window procedure answers when HandleMessage threw (the trace is written already).
    virtual LRESULT AfterException(UINT message) noexcept {
        (void)message;
        return 0;
    }

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;

    UniqueHwnd m_window; // let go of, not destroyed, at WM_NCDESTROY: the system has destroyed it then
};

} // namespace platform::win32
