#pragma once
// The owners of the program's Win32 handles: one template, one line per kind of handle. Each owner closes its
// handle once, when it goes or is reset; an empty owner closes nothing.
#include <memory>
#include <type_traits>

#include <bcrypt.h>
#include <windows.h>

#include <uxtheme.h>

#include "platform/types.h"

namespace platform::win32 {

template <class H, auto Close> struct CloseWith {
    using pointer = H;
    void operator()(H h) const noexcept {
        if (h)
            Close(h);
    }
};
template <class H, auto Close> using Unique = std::unique_ptr<std::remove_pointer_t<H>, CloseWith<H, Close>>;

namespace detail {
// Kernel handles use INVALID_HANDLE_VALUE as a second "none"; closing it would close nothing of ours.
inline void CloseKernelHandle(HANDLE handle) noexcept {
    if (handle != INVALID_HANDLE_VALUE)
        ::CloseHandle(handle);
}
inline void CloseAlgorithmProvider(BCRYPT_ALG_HANDLE provider) noexcept {
    ::BCryptCloseAlgorithmProvider(provider, 0);
}
inline void DestroyHash(BCRYPT_HASH_HANDLE hash) noexcept {
    ::BCryptDestroyHash(hash);
}
} // namespace detail

using UniqueHwnd = Unique<HWND, &::DestroyWindow>;
using UniqueFont = Unique<HFONT, &::DeleteObject>;
using UniqueBrush = Unique<HBRUSH, &::DeleteObject>;
using UniqueIcon = Unique<HICON, &::DestroyIcon>;
using UniqueMenu = Unique<HMENU, &::DestroyMenu>;
using UniqueHkey = Unique<HKEY, &::RegCloseKey>;
using UniqueHandle = Unique<HANDLE, &detail::CloseKernelHandle>;
using UniqueWinEventHook = Unique<HWINEVENTHOOK, &::UnhookWinEvent>;
using UniqueHook = Unique<HHOOK, &::UnhookWindowsHookEx>;
using UniqueTheme = Unique<HTHEME, &::CloseThemeData>;
using UniqueAlgorithmProvider = Unique<BCRYPT_ALG_HANDLE, &detail::CloseAlgorithmProvider>;
using UniqueEventSource = Unique<HANDLE, &::DeregisterEventSource>;
using UniqueDc = Unique<HDC, &::DeleteDC>; // a memory device context (CreateCompatibleDC)
using UniqueBitmap = Unique<HBITMAP, &::DeleteObject>;
using UniqueServiceHandle = Unique<SC_HANDLE, &::CloseServiceHandle>; // the service control manager, a service
// Memory for the clipboard (GlobalAlloc), freed unless the clipboard took it.
using UniqueGlobal = Unique<HGLOBAL, &::GlobalFree>;

// A window's device context (GetDC; nullptr for the screen), given back with ReleaseDC.
class WindowDc {
public:
    explicit WindowDc(HWND window) noexcept : m_window(window), m_dc(::GetDC(window)) {}
    ~WindowDc() {
        if (m_dc)
            ::ReleaseDC(m_window, m_dc);
    }
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;

    HDC get() const noexcept { return m_dc; }
    explicit operator bool() const noexcept { return m_dc != nullptr; }

private:
    HWND m_window;
    HDC m_dc;
};

// An object (font, bitmap, brush) selected into a device context for a scope; the one it replaced is put back.
class SelectedObject {
public:
    SelectedObject(HDC dc, HGDIOBJ object) noexcept
        : m_dc(dc), m_old(dc && object ? ::SelectObject(dc, object) : nullptr) {}
    ~SelectedObject() {
        if (m_old && m_old != HGDI_ERROR)
            ::SelectObject(m_dc, m_old);
    }
    SelectedObject(const SelectedObject&) = delete;
    SelectedObject& operator=(const SelectedObject&) = delete;

private:
    HDC m_dc;
    HGDIOBJ m_old;
};
using UniqueHashHandle = Unique<BCRYPT_HASH_HANDLE, &detail::DestroyHash>;

// The one conversion between a window handle and the program's WindowId (the handle's value).
inline HWND ToHwnd(WindowId window) noexcept {
    return reinterpret_cast<HWND>(static_cast<ULONG_PTR>(window));
}
inline WindowId ToWindowId(HWND window) noexcept {
    return static_cast<WindowId>(reinterpret_cast<ULONG_PTR>(window));
}

} // namespace platform::win32
