#pragma once
// Small Win32 helpers shared by the program's windows: screen units, text, fonts, sizes, dialog templates.
#include <windows.h>

#include <string>
#include <vector>

#include "platform/win32/win32_handles.h"
#include "platform/win32/win32_text.h"
#include "platform/win32/win32_trace.h"

namespace platform::win32 {

// The screen's logical resolution (dots per inch); layouts in twips and in 96-dpi pixels scale with it.
inline int ScreenDpi() noexcept {
    const WindowDc screen(nullptr);
    if (!screen) {
        TraceLastError("GetDC");
        return 96;
    }
    const int dpi = ::GetDeviceCaps(screen.get(), LOGPIXELSY);
    return dpi > 0 ? dpi : 96;
}

// The resolution of the monitor a window stands on (per-monitor awareness: monitors may differ), where the system
// can tell (Windows 10 1607 and later); the screen's otherwise.
inline int WindowDpi(HWND window) noexcept {
    using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
    static const auto getDpiForWindow = [] {
        HMODULE user32 = ::GetModuleHandleW(L"user32.dll");
        FARPROC proc = user32 ? ::GetProcAddress(user32, "GetDpiForWindow") : nullptr;
        return reinterpret_cast<GetDpiForWindowFn>(reinterpret_cast<void*>(proc));
    }();
    if (window && getDpiForWindow) {
        const UINT dpi = getDpiForWindow(window);
        if (dpi > 0)
            return static_cast<int>(dpi);
    }
    return ScreenDpi();
}

// Keeps the system from scaling a dialog by itself when it moves to a monitor of another resolution (Windows 10
// 1703 and later): its view lays it out again from its table instead (WM_DPICHANGED).
inline void TakeOverDialogScaling(HWND dialog) noexcept {
    using SetBehaviorFn = BOOL(WINAPI*)(HWND, int, int);
    static const auto setBehavior = [] {
        HMODULE user32 = ::GetModuleHandleW(L"user32.dll");
        FARPROC proc = user32 ? ::GetProcAddress(user32, "SetDialogDpiChangeBehavior") : nullptr;
        return reinterpret_cast<SetBehaviorFn>(reinterpret_cast<void*>(proc));
    }();
    constexpr int kDisableAll = 1; // DDC_DISABLE_ALL
    if (setBehavior && !setBehavior(dialog, kDisableAll, kDisableAll))
        TraceLastError("SetDialogDpiChangeBehavior");
}

// Centres a window on the work area of the monitor that holds `anchor` (the primary monitor when there is none).
inline void CentreOnMonitorOf(HWND window, HWND anchor) noexcept {
    RECT rect{};
    if (!::GetWindowRect(window, &rect))
        return;
    const POINT origin{0, 0};
    HMONITOR monitor = anchor && ::IsWindow(anchor) ? ::MonitorFromWindow(anchor, MONITOR_DEFAULTTONEAREST)
                                                    : ::MonitorFromPoint(origin, MONITOR_DEFAULTTOPRIMARY);
    MONITORINFO info{};
    info.cbSize = sizeof info;
    if (!monitor || !::GetMonitorInfoW(monitor, &info)) {
        TraceLastError("GetMonitorInfoW");
        return;
    }
    const RECT& work = info.rcWork;
    const int x = work.left + ((work.right - work.left) - (rect.right - rect.left)) / 2;
    const int y = work.top + ((work.bottom - work.top) - (rect.bottom - rect.top)) / 2;
    ::SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// The system tells a window of its new resolution by sending it WM_DPICHANGED from the window's own thread, with
// a pointer to the place it suggests. The same message from another thread or process carries a pointer that
// means nothing here: it is not to be believed. (A posted one the program's loop drops before it is dispatched.)
inline const RECT* DpiChangeFromTheSystem(LPARAM lParam) noexcept {
    if (!lParam || (::InSendMessageEx(nullptr) & ISMEX_SEND) != 0)
        return nullptr;
    return reinterpret_cast<const RECT*>(lParam);
}

inline int FromTwips(int twips, int dpi) noexcept {
    return ::MulDiv(twips, dpi, 1440);
}

// Pixels of a layout drawn at 96 dots per inch, on this screen.
inline int FromPixels96(int pixels, int dpi) noexcept {
    return ::MulDiv(pixels, dpi, 96);
}

// A font of the given face and size in hundredths of a point (8.25 pt = 825), for this resolution.
inline UniqueFont MakeFont(const wchar_t* face, int hundredthsOfPoint, int dpi, bool underline = false) noexcept {
    LOGFONTW font{};
    font.lfHeight = -::MulDiv(hundredthsOfPoint, dpi, 7200);
    font.lfWeight = FW_NORMAL;
    font.lfUnderline = underline ? TRUE : FALSE;
    font.lfCharSet = DEFAULT_CHARSET;
    font.lfQuality = DEFAULT_QUALITY;
    lstrcpynW(font.lfFaceName, face, LF_FACESIZE);
    UniqueFont made(::CreateFontIndirectW(&font));
    if (!made)
        TraceLastError("CreateFontIndirectW");
    return made;
}

// Width and height of a one-line text in a font.
inline SIZE TextSize(HWND window, HFONT font, const std::wstring& text) noexcept {
    SIZE size{0, 0};
    const WindowDc dc(window);
    if (!dc) {
        TraceLastError("GetDC");
        return size;
    }
    const SelectedObject selected(dc.get(), font);
    ::GetTextExtentPoint32W(dc.get(), text.c_str(), static_cast<int>(text.size()), &size);
    return size;
}

// Gives a window the outer size that makes its client area width x height pixels.
inline void SetClientSize(HWND window, int width, int height) noexcept {
    RECT rect{0, 0, width, height};
    const auto style = static_cast<DWORD>(::GetWindowLongPtrW(window, GWL_STYLE));
    const auto exStyle = static_cast<DWORD>(::GetWindowLongPtrW(window, GWL_EXSTYLE));
    ::AdjustWindowRectEx(&rect, style, FALSE, exStyle);
    ::SetWindowPos(window, nullptr, 0, 0, rect.right - rect.left, rect.bottom - rect.top,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

inline void CentreOnScreen(HWND window) noexcept {
    RECT rect{};
    if (!::GetWindowRect(window, &rect))
        return;
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    const int x = (::GetSystemMetrics(SM_CXSCREEN) - width) / 2;
    const int y = (::GetSystemMetrics(SM_CYSCREEN) - height) / 2;
    ::SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// An in-memory template of an empty dialog with the standard dialog font; the windows create their controls
// themselves from their layout tables. DLGTEMPLATE wants DWORD alignment, which vector storage gives.
inline std::vector<WORD> EmptyDialogTemplate(DWORD style, DWORD exStyle = 0) {
    std::vector<WORD> words;
    auto dword = [&](DWORD value) {
        words.push_back(LOWORD(value));
        words.push_back(HIWORD(value));
    };
    dword(style | DS_SETFONT);
    dword(exStyle);
    words.insert(words.end(), {0, 0, 0, 100, 40}); // no items; position and size are set once created
    words.push_back(0);                            // no menu
    words.push_back(0);                            // the standard dialog class
    words.push_back(0);                            // caption set later
    words.push_back(8);                            // point size
    for (const char* face = "MS Shell Dlg"; *face; ++face)
        words.push_back(static_cast<WORD>(*face));
    words.push_back(0);
    return words;
}

// Creates a child control with the parent's font; nullptr (and a trace) when the system makes none.
inline HWND MakeChild(HWND parent, HINSTANCE instance, const wchar_t* className, const std::string& text, DWORD style,
                      DWORD exStyle, int id, int x, int y, int width, int height, HFONT font) noexcept {
    HWND child = nullptr;
    try {
        child = ::CreateWindowExW(exStyle, className, Wide(text).c_str(), WS_CHILD | style, x, y, width, height, parent,
                                  reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
    } catch (...) {
        TraceException("MakeChild");
        return nullptr;
    }
    if (!child) {
        TraceLastError("CreateWindowExW");
        return nullptr;
    }
    if (font)
        ::SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    return child;
}

} // namespace platform::win32
