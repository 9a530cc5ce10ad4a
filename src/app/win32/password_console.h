#pragma once
#include <windows.h>

#include <optional>
#include <string>

#include "app/password_modes.h"
#include "platform/win32/win32_handles.h"

namespace app::win32 {

// The console of the program that started kestrel.exe (a command prompt, PowerShell), which /hash asks in.
// kestrel.exe is a program of the graphical subsystem: it has no console of its own, and takes its parent's only
// when there is one. Reads go through ReadConsoleW, so that any character can be typed whatever the console's code
// page, with the echo off while a password is typed.
class Win32PasswordConsole final : public app::PasswordConsole {
public:
    Win32PasswordConsole();
    ~Win32PasswordConsole() override;
    Win32PasswordConsole(const Win32PasswordConsole&) = delete;
    Win32PasswordConsole& operator=(const Win32PasswordConsole&) = delete;

    // False when the parent has no console (started from Explorer, a shortcut, an installer): nothing to ask in.
    bool Attached() const { return m_input && m_output; }

    std::optional<std::string> ReadHidden(const std::string& prompt) override;
    void Write(const std::string& text) override;

private:
    bool m_ownConsole = false; // attached here, freed again on the way out
    platform::win32::UniqueHandle m_input;
    platform::win32::UniqueHandle m_output;
};

} // namespace app::win32
