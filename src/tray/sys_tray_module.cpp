#include "tray/sys_tray_module.h"

#include <algorithm>

namespace tray {

SysTrayModule::SysTrayModule(platform::Shell& shell, platform::WindowId mainWindow, std::uint64_t iconHandle)
    : m_shell(shell), m_mainWindow(mainWindow), m_icon(iconHandle) {}

platform::TrayIconData SysTrayModule::MakeIconData(platform::WindowId hWnd, std::uint32_t id, std::uint32_t flags,
                                                   std::uint32_t callbackMessage, std::uint64_t hIcon,
                                                   const std::string& tip) {
    platform::TrayIconData data;
    data.cbSize = kIconDataSize;
    data.hWnd = hWnd;
    data.uID = id;
    data.uFlags = flags;
    data.uCallbackMessage = callbackMessage;
    data.hIcon = hIcon;
    // A fixed-length text field: the tip and its NUL, then spaces; whatever does not fit is cut off.
    std::string field = tip;
    field.push_back('\0');
    field.resize(data.szTip.size(), ' ');
    std::copy(field.begin(), field.end(), data.szTip.begin());
    return data;
}

void SysTrayModule::AddTrayIcon() {
    // Refused by the shell when the icon is up already; the result is not needed.
    m_shell.NotifyIcon(platform::kNimAdd, MakeIconData(m_mainWindow, kTrayIconId, kNifMessageIconTip,
                                                       kTrayCallbackMessage, m_icon, kTrayTip));
}

void SysTrayModule::DeleteTrayIcon() {
    m_shell.NotifyIcon(platform::kNimDelete,
                       MakeIconData(m_mainWindow, kTrayIconId, kNifMessageIconTip, kDeleteCallbackMessage, m_icon, ""));
}

} // namespace tray
