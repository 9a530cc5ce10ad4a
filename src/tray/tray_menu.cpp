#include "tray/tray_menu.h"

namespace tray {

TrayMenu::TrayMenu(common::SharedState& state, common::PromptOpener& prompt, TrayMenuView& view)
    : m_state(state), m_prompt(prompt), m_view(view) {
    m_view.SetChooser([this](TrayMenuItem item) { return Choose(item); });
}

TrayMenu::~TrayMenu() {
    m_view.SetChooser(nullptr);
}

void TrayMenu::OnIconCallback(unsigned mouseMessage, bool setupWindowVisible) {
    if (setupWindowVisible)
        return;
    if (mouseMessage == kWmRButtonUp)
        m_view.PopUpAtCursor();
}

bool TrayMenu::Choose(TrayMenuItem item) {
    for (const auto& info : kTrayMenuItems) {
        if (info.item != item)
            continue;
        if (info.separator || !info.enabled)
            return false;
        break;
    }
    switch (item) {
    case TrayMenuItem::msetup:
        msetup_Click();
        return true;
    case TrayMenuItem::mnuexit:
        mnuexit_Click();
        return true;
    case TrayMenuItem::mhide:
        mhide_Click();
        return true;
    default:
        return false;
    }
}

void TrayMenu::msetup_Click() {
    m_state.PendingAction = common::PendingAction::Setup;
    m_prompt.ShowPrompt();
}

void TrayMenu::mnuexit_Click() {
    m_state.PendingAction = common::PendingAction::Exit;
    m_prompt.ShowPrompt();
}

} // namespace tray
