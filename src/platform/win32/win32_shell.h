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
    // The record of the first, single-byte version of the notification icon data: on this 64-bit build its
    // pointers are 8 bytes wide, so the system's size for it is larger than the 88 bytes of 32-bit Windows.
    static constexpr DWORD kIconDataSize = NOTIFYICONDATAA_V1_SIZE;

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

} // namespace platform::win32
