#include "platform/win32/win32_ansi_text.h"

#include "platform/win32/win32_trace.h"

namespace platform::win32 {

bool FitsAnsiCodePage(const std::wstring& text) noexcept {
    if (text.empty())
        return true;
    const int length = static_cast<int>(text.size());
    // UTF-8 as the ANSI code page has a place for every character; it takes neither the best-fit flag nor the
    // used-default answer, and says no only to broken text (a lone surrogate).
    if (::GetACP() == CP_UTF8) {
        const DWORD flags = WC_ERR_INVALID_CHARS;
        return ::WideCharToMultiByte(CP_UTF8, flags, text.data(), length, nullptr, 0, nullptr, nullptr) > 0;
    }
    BOOL usedDefault = FALSE;
    // Without best fit, a character without a place of its own counts as lost, not as its look-alike (a plain "a"
    // for one with a macron).
    const int bytes =
        ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.data(), length, nullptr, 0, nullptr, &usedDefault);
    if (bytes <= 0) {
        TraceLastError("WideCharToMultiByte");
        return false;
    }
    return usedDefault == FALSE;
}

bool WindowTextFitsAnsiCodePage(HWND window) {
    const int length = ::GetWindowTextLengthW(window);
    if (length <= 0)
        return true;
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const int copied = ::GetWindowTextW(window, text.data(), length + 1);
    if (copied <= 0)
        return true;
    text.resize(static_cast<std::size_t>(copied));
    return FitsAnsiCodePage(text);
}

} // namespace platform::win32
