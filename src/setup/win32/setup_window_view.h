#pragma once
#include <windows.h>

#include <array>
#include <memory>

#include "platform/win32/win32_handles.h"
#include "platform/win32/win32_tab_control.h"
#include "setup/setup_window.h"
#include "setup/win32/tick_list.h"

namespace setup::win32 {

// The setup tool on the main window `frmorv`: the tab control `SSTab1`, every control of its four tabs and
// the command row, all children of the main window (above the tab control, shown per selected tab, so that
// the message loop's IsDialogMessage works on the main window). The main window's procedure passes every
// message to HandleMessage first; what this view does not claim goes on to the main window as usual.
class SetupWindowView final : public setup::SetupWindowView {
public:
    SetupWindowView(HWND mainWindow, HINSTANCE instance, SetupWindow& presenter);
    ~SetupWindowView() override;
    SetupWindowView(const SetupWindowView&) = delete;
    SetupWindowView& operator=(const SetupWindowView&) = delete;

    // True when the message was one of this view's; result is then the window procedure's result.
    bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) noexcept;

    platform::WindowId Handle() const override;
    void ShowWindow(bool centre) override;
    void HideWindow() override;
    bool IsWindowVisible() const override;
    void SetEnabled(bool enabled) override;
    void SetAboutTexts(const std::string& programName, const std::string& version) override;
    void SetLinkHighlighted(LinkLabel label, bool highlighted) override;
    std::unique_ptr<setup::AddItemView> CreateAddItemView(AddItemDialog& presenter) override;
    std::unique_ptr<gate::SetPasswordView> CreateSetPasswordView(gate::SetPasswordDialog& presenter) override;

    // The controls, in creation order (which is also the tab order).
    // clang-format off
    enum Control {
        Image2, Label1, listwindows, cmdadd, cmdremove, cmdchange,                       // tab 0
        cmdsetpassword, Label2,                                                          // tab 1
        chklockinstall, chkkestrel, chklockkeys, chkpopup,                               // tab 2
        chkanycase, chkonewindow, chklockbrowsers,
        Image1, lblprogramname, lblversion, Label10, Label5, Label7, Label8, cmdupdate,  // tab 3
        cmdapply, cmdcancel, cmdapply2, cmdhelp,                                         // command row
        kControlCount
    };
    // clang-format on

private:
    void CreateControls();
    void SelectTab(int tab);
    int ControlOf(HWND window) const;
    int ControlOfId(int id) const;
    void OnCommand(int control, int code);
    LRESULT OnCtlColorStatic(HDC dc, int control);
    // The theme or the system colours changed: the tab body's colour is taken again and everything redrawn.
    void OnLookChanged();
    // WM_DPICHANGED: fonts, pictures and every control at the new resolution, the window where the system says.
    void OnDpiChanged(int dpi, const RECT& suggested);
    void SetLogo();
    // Where the tab control's body starts, in pixels of the client area: the origin of the tabs' controls.
    POINT TabOrigin() const;
    void OnSetCursor(HWND under);
    void SyncOptions();

    HWND m_main;
    HINSTANCE m_instance;
    SetupWindow& m_presenter;
    int m_dpi;
    platform::win32::UniqueFont m_font;     // the window's normal font
    platform::win32::UniqueFont m_linkFont; // Label7, Label8: MS Sans Serif 8.25 pt, underlined
    platform::win32::UniqueIcon m_logo;
    TickList m_listwindows; // the list box's rows, drawing and ticking; after the font that it draws with
    // Children of the main window, destroyed by their owners here while the main window is still there.
    platform::win32::TabControl m_tab; // SSTab1
    platform::win32::UniqueHwnd m_tooltip;
    std::array<platform::win32::UniqueHwnd, kControlCount> m_controls{};
    std::array<bool, kLinkLabelCount> m_highlighted{};
    platform::win32::DefaultButton m_defaultButton{IDOK};
    platform::win32::FocusKeeper m_focus;
    platform::Subscription m_optionBoxes; // the boxes follow the options
};

} // namespace setup::win32
