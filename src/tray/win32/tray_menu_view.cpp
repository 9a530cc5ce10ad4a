#include "tray/win32/tray_menu_view.h"

#include "platform/win32/win32_text.h"
#include "platform/win32/win32_trace.h"

namespace tray::win32 {
namespace {

using platform::win32::TraceException;
using platform::win32::TraceLastError;

unsigned CommandOf(TrayMenuItem item) noexcept {
    switch (item) {
    case TrayMenuItem::msetup:
        return kMenuSetup;
    case TrayMenuItem::mnuunlock:
        return kMenuUnlock;
    case TrayMenuItem::mnuexit:
        return kMenuExit;
    case TrayMenuItem::mhide:
        return kMenuHide;
    default:
        return 0;
    }
}

} // namespace

UINT TaskbarCreatedMessage() noexcept {
    const UINT message = ::RegisterWindowMessageW(L"TaskbarCreated");
    if (message == 0)
        TraceLastError("RegisterWindowMessageW");
    return message;
}

TrayMenuView::TrayMenuView(HWND owner) : m_owner(owner), m_menu(::CreatePopupMenu()) {
    if (!m_menu) {
        TraceLastError("CreatePopupMenu");
        return;
    }
    for (const auto& info : kTrayMenuItems) {
        UINT flags = info.separator ? MF_SEPARATOR : MF_STRING;
        if (!info.enabled)
            flags |= MF_GRAYED;
        if (!::AppendMenuW(m_menu.get(), flags, info.separator ? 0 : CommandOf(info.item),
                           info.separator ? nullptr : platform::win32::Wide(info.caption).c_str()))
            TraceLastError("AppendMenuW");
        if (info.isDefault && !::SetMenuDefaultItem(m_menu.get(), CommandOf(info.item), FALSE))
            TraceLastError("SetMenuDefaultItem");
    }
}

void TrayMenuView::PopUpAtCursor() {
    if (!m_menu)
        return;
    POINT at{};
    if (!::GetCursorPos(&at)) {
        TraceLastError("GetCursorPos");
        return;
    }
    // The menu closes when the user clicks elsewhere only if its owner is the foreground window; the
    // empty message afterwards lets a second right-click open it again at once.
    ::SetForegroundWindow(m_owner);
    // Without TPM_RETURNCMD a dismissed menu counts as success too: zero is a failure.
    if (!::TrackPopupMenu(m_menu.get(), TPM_LEFTALIGN | TPM_RIGHTBUTTON, at.x, at.y, 0, m_owner, nullptr))
        TraceLastError("TrackPopupMenu");
    ::PostMessageW(m_owner, WM_NULL, 0, 0);
}

bool TrayMenuView::HandleCommand(unsigned id) noexcept {
    for (const auto& info : kTrayMenuItems) {
        if (info.separator || CommandOf(info.item) != id)
            continue;
        try {
            if (m_choose)
                m_choose(info.item); // an unavailable item is refused by the presenter
        } catch (...) {
            TraceException("the tray menu's command");
        }
        return true;
    }
    return false;
}

} // namespace tray::win32
