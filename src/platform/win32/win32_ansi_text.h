#pragma once
// Text in the ANSI code page in use: which characters it has a place for.
#include <windows.h>

#include <string>

namespace platform::win32 {

// True when every character of the text has a place in the ANSI code page and comes back from it unchanged
// (no "?" and no look-alike in its place).
bool FitsAnsiCodePage(const std::wstring& text) noexcept;

// The same for the text of a window, read as Unicode: an ANSI read would already show "?" for what is lost.
// A text that cannot be read counts as fitting.
bool WindowTextFitsAnsiCodePage(HWND window);

} // namespace platform::win32
