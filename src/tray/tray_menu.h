#pragma once
#include <array>
#include <functional>

#include "common/prompt_opener.h"
#include "common/shared_state.h"

namespace tray {

constexpr unsigned kWmRButtonUp = 0x205; // the only mouse message over the icon that does anything

// The items of the tray menu `frmmenu`/`mfile`, in menu order.
enum class TrayMenuItem { msetup, t0, mnuunlock, mnuexit, t1, mhide };

struct TrayMenuItemInfo {
    TrayMenuItem item;
    const char* caption; // "-" for a separator
    bool separator;
    bool enabled;   // an unavailable item cannot be chosen
    bool isDefault; // drawn bold
};

// The menu as it is built and shown. No item changes its caption or state while the program runs;
// "Unlock All" and the second separator are never available.
constexpr std::array<TrayMenuItemInfo, 6> kTrayMenuItems = {{
    {TrayMenuItem::msetup, "Setup...", false, true, true},
    {TrayMenuItem::t0, "-", true, true, false},
    {TrayMenuItem::mnuunlock, "Unlock All", false, false, false},
    {TrayMenuItem::mnuexit, "Exit", false, true, false},
    {TrayMenuItem::t1, "-", true, false, false},
    {TrayMenuItem::mhide, "Hide", false, true, false},
}};

// Shows the tray menu at the mouse position. The item the user chooses comes back, later, through the
// chooser that the presenter gives the view (nullptr: the presenter is gone).
class TrayMenuView {
public:
    virtual ~TrayMenuView() = default;
    virtual void PopUpAtCursor() = 0;
    virtual void SetChooser(std::function<bool(TrayMenuItem)> choose) = 0;
};

// The tray menu: the icon's right-click pops it up, and "Setup..." and "Exit" go through the password prompt.
class TrayMenu {
public:
    TrayMenu(common::SharedState& state, common::PromptOpener& prompt, TrayMenuView& view);
    ~TrayMenu();
    TrayMenu(const TrayMenu&) = delete;
    TrayMenu& operator=(const TrayMenu&) = delete;

    // The main window's handler of the icon's callback message, with the mouse message that happened over the
    // icon. While the setup window is visible, nothing happens.
    void OnIconCallback(unsigned mouseMessage, bool setupWindowVisible);

    // An item chosen from the shown menu; false for an item that cannot be chosen.
    bool Choose(TrayMenuItem item);

    void msetup_Click();
    void mnuexit_Click();
    void mhide_Click() {} // choosing it only closes the menu

private:
    common::SharedState& m_state;
    common::PromptOpener& m_prompt;
    TrayMenuView& m_view;
};

} // namespace tray
