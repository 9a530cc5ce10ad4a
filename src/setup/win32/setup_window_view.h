#pragma once
#include <windows.h>

#include <array>
#include <memory>

#include "platform/win32/win32_handles.h"
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
    bool OnCommand(int control, int code);
    bool OnNotify(const NMHDR& header);
    LRESULT OnCtlColorStatic(HDC dc, int control);
    void OnSetCursor(HWND under);
    void SetDefaultButton(int control);
    void SyncOptions();
    void TakeTabBodyColour();

    HWND m_main;
    HINSTANCE m_instance;
    SetupWindow& m_presenter;
    int m_dpi;
    platform::win32::UniqueFont m_font;     // the window's normal font
    platform::win32::UniqueFont m_linkFont; // Label7, Label8: MS Sans Serif 8.25 pt, underlined
    platform::win32::UniqueIcon m_logo;
    TickList m_listwindows; // the list box's rows, drawing and ticking; after the font that it draws with
    // The controls stand on the tab control's body; their background is its colour (plain or themed).
    COLORREF m_bodyColour = 0;
    platform::win32::UniqueBrush m_bodyBrush;
    // Children of the main window; the main window owns them, this view destroys them when it goes first.
    HWND m_tab = nullptr;
    HWND m_tooltip = nullptr;
    std::array<HWND, kControlCount> m_controls{};
    std::array<bool, kLinkLabelCount> m_highlighted{};
    int m_defaultButton = cmdapply;
    HWND m_lastFocus = nullptr;
    UINT m_restoreFocusMessage = 0;
    platform::Subscription m_optionBoxes; // the boxes follow the options
};

} // namespace setup::win32
