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

bool Win32TextCase::IsLeadByte(char byte) const {
    return ::IsDBCSLeadByte(static_cast<BYTE>(byte)) != FALSE;
}

void Win32TextCase::Lower(char* character, std::size_t size) const {
    Map(character, size, &::CharLowerBuffA);
}

void Win32TextCase::Upper(char* character, std::size_t size) const {
    Map(character, size, &::CharUpperBuffA);
}

void Win32TextCase::Map(char* character, std::size_t size, DWORD(WINAPI* map)(LPSTR, DWORD)) const {
    if (size != 1 && size != 2)
        return;
    char mapped[2] = {character[0], size == 2 ? character[1] : '\0'};
    map(mapped, static_cast<DWORD>(size));
    // The system maps through Unicode and back: a partner that the code page has no place for comes back as "?",
    // or as a character of the other size, cut to fit. Either would corrupt the text; the character stays.
    const bool sameSize = IsLeadByte(mapped[0]) == (size == 2);
    const bool lost = mapped[0] == '?' && character[0] != '?';
    if (!sameSize || lost)
        return;
    character[0] = mapped[0];
    if (size == 2)
        character[1] = mapped[1];
}

} // namespace platform::win32
