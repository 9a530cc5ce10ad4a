#pragma once
#include <cstdint>
#include <string>

#include "common/tray_icon.h"
#include "platform/shell.h"
#include "platform/types.h"

namespace tray {

constexpr const char* kTrayTip = "Kestrel 2004";
constexpr std::uint32_t kTrayIconId = 1;
constexpr std::uint32_t kNifMessageIconTip = 7;       // NIF_MESSAGE | NIF_ICON | NIF_TIP
constexpr std::uint32_t kTrayCallbackMessage = 0x200; // WM_MOUSEMOVE: the mouse message arrives in lParam
constexpr std::uint32_t kDeleteCallbackMessage = 1;
constexpr std::uint32_t kIconDataSize = 88;

// `SysTrayModule`: the program's one notification-area icon, owned by the main window, which receives its
// mouse messages. Each operation builds a fresh record; nothing is kept between calls.
class SysTrayModule final : public common::TrayIcon {
public:
    SysTrayModule(platform::Shell& shell, platform::WindowId mainWindow, std::uint64_t iconHandle);

    // The record for the shell: size 88, the six values, and the tip followed by one NUL and padded with
    // spaces to 64 characters (a longer tip is cut to 64, leaving no room for the NUL).
    static platform::TrayIconData MakeIconData(platform::WindowId hWnd, std::uint32_t id, std::uint32_t flags,
                                               std::uint32_t callbackMessage, std::uint64_t hIcon,
                                               const std::string& tip);

    void AddTrayIcon() override;
    void DeleteTrayIcon() override;

private:
    platform::Shell& m_shell;
    platform::WindowId m_mainWindow;
    std::uint64_t m_icon;
};

} // namespace tray
