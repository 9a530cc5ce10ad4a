#pragma once
// The border between the program's text (UTF-8 in std::string) and the system's wide calls (UTF-16).
#include <windows.h>

#include <string>

#include "platform/ansi_code_page.h"

namespace platform::win32 {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "the system's wide characters are UTF-16 units");

std::wstring Wide(const std::string& utf8);
std::string Utf8Of(const wchar_t* text, std::size_t length);
inline std::string Utf8Of(const std::wstring& text) {
    return Utf8Of(text.data(), text.size());
}

// The text of a window; "" when it has none. Read straight into the string that is handed out, and the wide copy
// wiped, so that a password read this way leaves no other copy behind.
std::string WindowText(HWND window);
// Sets a window's text; false (and a trace) when the system refuses.
bool SetText(HWND window, const std::string& utf8) noexcept;
// The length of a window's text in characters (UTF-16 units).
int TextLength(HWND window) noexcept;

// The ANSI code page in use (CP_ACP), without best fit: a character without a place of its own has none.
class Win32AnsiCodePage final : public AnsiCodePage {
public:
    std::optional<std::string> Encode(const std::string& utf8) const override;
};

} // namespace platform::win32
