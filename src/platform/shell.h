#pragma once
#include <array>
#include <cstdint>
#include <string>

#include "platform/types.h"

namespace platform {

// The first version of the notification icon record, field for field (its 88 bytes on 32-bit Windows with one byte a
// character; the tip is ASCII, and the Win32 layer widens it).
struct TrayIconData {
    std::uint32_t cbSize = 0;
    WindowId hWnd = 0;
    std::uint32_t uID = 0;
    std::uint32_t uFlags = 0;
    std::uint32_t uCallbackMessage = 0;
    std::uint64_t hIcon = 0;
    std::array<char, 64> szTip{};
};

constexpr std::uint32_t kNimAdd = 0;
constexpr std::uint32_t kNimDelete = 2;

class Shell {
public:
    virtual ~Shell() = default;
    // Shell_NotifyIconW; the result is not looked at by the program.
    virtual bool NotifyIcon(std::uint32_t message, const TrayIconData& data) = 0;
    // ShellExecuteW(owner, "Open", address, null, "", SW_SHOWNORMAL).
    virtual void OpenAddress(WindowId owner, const std::string& address) = 0;
    // WinHelpW(owner, file, command, 0).
    virtual void OpenHelp(WindowId owner, const std::string& file, unsigned command) = 0;
    // Whether a file (not a folder) of that path exists.
    virtual bool FileExists(const std::string& path) = 0;
    // Starts a program file with a hidden window, without waiting; false when it could not start.
    virtual bool StartHidden(const std::string& file) = 0;
    // The folder of the running program file, as the system reports it (a drive root keeps its backslash).
    virtual std::string ProgramFolder() = 0;
};

} // namespace platform
