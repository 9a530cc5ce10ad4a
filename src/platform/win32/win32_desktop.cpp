#include "platform/win32/win32_desktop.h"

#include <string>

namespace platform::win32 {

namespace {

// Reads text through one of the ...A calls that fill a caller's buffer of maxCount characters and return the
// length they wrote; anything odd reads as "".
template <class Read>
std::string ReadText(int maxCount, Read read) {
    if (maxCount <= 0) return "";
    std::string buffer(static_cast<std::size_t>(maxCount), '\0');
    const int length = read(buffer.data(), maxCount);
    if (length <= 0) return "";
    buffer.resize(static_cast<std::size_t>(length < maxCount ? length : maxCount - 1));
    return buffer;
}

} // namespace

WindowId Win32Desktop::ForegroundWindow() {
    return FromHwnd(::GetForegroundWindow());
}

std::string Win32Desktop::WindowTitle(WindowId window, int maxCount) {
    const HWND hwnd = ToHwnd(window);
    if (!hwnd || !::IsWindow(hwnd)) return "";
    return ReadText(maxCount, [&](char* buffer, int count) { return ::GetWindowTextA(hwnd, buffer, count); });
}

std::string Win32Desktop::ClassName(WindowId window, int maxCount) {
    const HWND hwnd = ToHwnd(window);
    if (!hwnd || !::IsWindow(hwnd)) return "";
    return ReadText(maxCount, [&](char* buffer, int count) { return ::GetClassNameA(hwnd, buffer, count); });
}

void Win32Desktop::HideWindow(WindowId window) {
    // Asynchronous: a synchronous call to a hung program's window would freeze the lock with it.
    const HWND hwnd = ToHwnd(window);
    if (hwnd && ::IsWindow(hwnd)) ::ShowWindowAsync(hwnd, SW_HIDE);
}

void Win32Desktop::ShowWindowNormal(WindowId window) {
    const HWND hwnd = ToHwnd(window);
    if (hwnd && ::IsWindow(hwnd)) ::ShowWindowAsync(hwnd, SW_SHOWNORMAL);
}

void Win32Desktop::PostClose(WindowId window) {
    const HWND hwnd = ToHwnd(window);
    if (hwnd) ::PostMessageA(hwnd, WM_CLOSE, 0, 0);
}

WindowId Win32Desktop::FindWindowByTitle(const std::string& title) {
    return FromHwnd(::FindWindowA(nullptr, title.c_str()));
}

WindowId Win32Desktop::FindWindowByClass(const std::string& className) {
    if (className.empty()) return 0;
    return FromHwnd(::FindWindowA(className.c_str(), nullptr));
}

bool Win32Desktop::IsOwnWindow(WindowId window) {
    const HWND hwnd = ToHwnd(window);
    if (!hwnd) return false;
    DWORD process = 0;
    if (::GetWindowThreadProcessId(hwnd, &process) == 0) return false;
    return process == ::GetCurrentProcessId();
}

} // namespace platform::win32
