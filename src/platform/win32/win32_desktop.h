#pragma once
#include <windows.h>

#include "platform/desktop.h"

namespace platform::win32 {

// The window manager through user32's ANSI functions. A WindowId is the HWND's value.
class Win32Desktop final : public Desktop {
public:
    WindowId ForegroundWindow() override;
    std::string WindowTitle(WindowId window, int maxCount) override;
    std::string ClassName(WindowId window, int maxCount) override;
    void HideWindow(WindowId window) override;
    void ShowWindowNormal(WindowId window) override;
    void PostClose(WindowId window) override;
    WindowId FindWindowByTitle(const std::string& title) override;
    WindowId FindWindowByClass(const std::string& className) override;
    bool IsOwnWindow(WindowId window) override;

    static HWND ToHwnd(WindowId window) { return reinterpret_cast<HWND>(static_cast<ULONG_PTR>(window)); }
    static WindowId FromHwnd(HWND window) { return static_cast<WindowId>(reinterpret_cast<ULONG_PTR>(window)); }
};

} // namespace platform::win32
