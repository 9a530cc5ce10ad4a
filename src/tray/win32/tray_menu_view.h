#pragma once
#include <windows.h>

#include <functional>

#include "platform/win32/win32_handles.h"
#include "tray/tray_menu.h"

namespace tray::win32 {

// The command ids of the tray menu's items, as WM_COMMAND brings them to the menu's owner (the main window).
// The separators have none.
constexpr unsigned kMenuSetup = 40001;  // msetup "Setup..."
constexpr unsigned kMenuUnlock = 40002; // mnuunlock "Unlock All" (never available)
constexpr unsigned kMenuExit = 40003;   // mnuexit "Exit"
constexpr unsigned kMenuHide = 40004;   // mhide "Hide"

// The message the shell broadcasts to every top-level window when it (re)starts: the tray icon must be put up
// again then. 0 when it cannot be registered.
UINT TaskbarCreatedMessage() noexcept;

// The pop-up menu of the tray icon (`frmmenu`'s `mfile`). It is shown on behalf of the owner window, which
// receives the chosen item as WM_COMMAND and hands it to HandleCommand.
class TrayMenuView final : public tray::TrayMenuView {
public:
    explicit TrayMenuView(HWND owner);
    TrayMenuView(const TrayMenuView&) = delete;
    TrayMenuView& operator=(const TrayMenuView&) = delete;

    void PopUpAtCursor() override;
    void SetChooser(std::function<bool(TrayMenuItem)> choose) override { m_choose = std::move(choose); }

    // The owner's WM_COMMAND: true when the id is one of this menu's items (then it has been handled).
    bool HandleCommand(unsigned id) noexcept;

private:
    HWND m_owner;
    platform::win32::UniqueMenu m_menu;
    std::function<bool(TrayMenuItem)> m_choose;
};

} // namespace tray::win32
