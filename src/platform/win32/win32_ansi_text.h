#pragma once
// Text in the ANSI code page in use: which characters it has a place for, and their letter case.
#include <windows.h>

#include <string>

#include "platform/text_case.h"

namespace platform::win32 {

// True when every character of the text has a place in the ANSI code page and comes back from it unchanged
// (no "?" and no look-alike in its place).
bool FitsAnsiCodePage(const std::wstring& text) noexcept;

// The same for the text of a window, read as Unicode: an ANSI read would already show "?" for what is lost.
// A text that cannot be read counts as fitting.
bool WindowTextFitsAnsiCodePage(HWND window);

// Letter case by the system's rules for the ANSI code page (CharLowerBuffA, CharUpperBuffA), one character at a
// time, so that the second byte of a double-byte character is never changed on its own.
class Win32TextCase final : public TextCase {
public:
    bool IsLeadByte(char byte) const override;
    void Lower(char* character, std::size_t size) const override;
    void Upper(char* character, std::size_t size) const override;

private:
    void Map(char* character, std::size_t size, DWORD(WINAPI* map)(LPSTR, DWORD)) const;
};

} // namespace platform::win32
