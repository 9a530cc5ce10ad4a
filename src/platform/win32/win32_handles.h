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

// The one conversion between a window handle and the program's WindowId (the handle's value).
inline HWND ToHwnd(WindowId window) noexcept {
    return reinterpret_cast<HWND>(static_cast<ULONG_PTR>(window));
}
inline WindowId ToWindowId(HWND window) noexcept {
    return static_cast<WindowId>(reinterpret_cast<ULONG_PTR>(window));
}

} // namespace platform::win32
