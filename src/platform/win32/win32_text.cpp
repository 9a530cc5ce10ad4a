#include "platform/win32/win32_text.h"

#include "platform/utf.h"
#include "platform/win32/win32_trace.h"

namespace platform::win32 {

namespace {

// Overwrites the wide copy of a text that may be a password; the volatile stores are not dropped as dead.
void Wipe(std::wstring& text) noexcept {
    volatile wchar_t* p = text.data();
    for (std::size_t i = 0; i < text.size(); ++i)
        p[i] = 0;
}

} // namespace

std::wstring Wide(const std::string& utf8) {
    const std::u16string units = Utf16(utf8);
    return std::wstring(reinterpret_cast<const wchar_t*>(units.data()), units.size());
}

std::string Utf8Of(const wchar_t* text, std::size_t length) {
    return Utf8(reinterpret_cast<const char16_t*>(text), length);
}

std::string WindowText(HWND window) {
    const int length = ::GetWindowTextLengthW(window);
    if (length <= 0)
        return {};
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const int copied = ::GetWindowTextW(window, text.data(), length + 1);
    std::string utf8 = copied > 0 ? Utf8Of(text.data(), static_cast<std::size_t>(copied)) : std::string();
    Wipe(text);
    return utf8;
}

bool SetText(HWND window, const std::string& utf8) noexcept {
    try {
        if (::SetWindowTextW(window, Wide(utf8).c_str()))
            return true;
        TraceLastError("SetWindowTextW");
    } catch (...) {
        TraceException("SetText");
    }
    return false;
}

int TextLength(HWND window) noexcept {
    return ::GetWindowTextLengthW(window);
}

std::optional<std::string> Win32AnsiCodePage::Encode(const std::string& utf8) const {
    const std::wstring wide = Wide(utf8);
    if (wide.empty())
        return std::string();
    const int length = static_cast<int>(wide.size());
    BOOL usedDefault = FALSE;
    // UTF-8 as the ANSI code page takes neither flag nor the used-default answer.
    const bool utf8CodePage = ::GetACP() == CP_UTF8;
    const DWORD flags = utf8CodePage ? 0 : WC_NO_BEST_FIT_CHARS;
    BOOL* used = utf8CodePage ? nullptr : &usedDefault;
    const int size = ::WideCharToMultiByte(CP_ACP, flags, wide.data(), length, nullptr, 0, nullptr, used);
    if (size <= 0) {
        TraceLastError("WideCharToMultiByte");
        return std::nullopt;
    }
    std::string bytes(static_cast<std::size_t>(size), '\0');
    ::WideCharToMultiByte(CP_ACP, flags, wide.data(), length, bytes.data(), size, nullptr, used);
    if (usedDefault)
        return std::nullopt;
    return bytes;
}

} // namespace platform::win32
