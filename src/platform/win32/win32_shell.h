#pragma once
#include <windows.h>

#include <shellapi.h>

#include <cstdint>
#include <set>
#include <string>
#include <utility>

#include "platform/shell.h"

namespace platform::win32 {

// The shell, the help viewer and process start. Results are returned, never shown.
class Win32Shell final : public Shell {
public:
    // The record of the first version of the notification icon data, in its wide form: on this 64-bit build its
    // pointers are 8 bytes wide and its characters 2, so the system's size for it is larger than 88 bytes.
    static constexpr DWORD kIconDataSize = NOTIFYICONDATAW_V1_SIZE;

    bool NotifyIcon(std::uint32_t message, const TrayIconData& data) override;
    void OpenAddress(WindowId owner, const std::string& address) override;
    void OpenHelp(WindowId owner, const std::string& file, unsigned command) override;
    bool FileExists(const std::string& path) override;
    bool StartHidden(const std::string& file) override;
    std::string ProgramFolder() override;

    // The folder part of a program path: no trailing backslash, except for a drive root ("C:\").
    static std::string FolderOf(const std::string& path);

private:
    // The icons this process has put up (owner window, id): a second add of one of them is refused by the
    // shell, as expected, since the settings put the icon up again at every reload.
    std::set<std::pair<WindowId, std::uint32_t>> m_iconsUp;
};

// The path of the running program file, as the system reports it; "" when it cannot be had.
std::string ProgramPath();

// The process's command line without the program's own name (and the blanks after it), as the program was started.
std::string CommandLineArguments();

} // namespace platform::win32
