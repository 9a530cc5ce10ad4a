#pragma once
#include <windows.h>

#include "gate/set_password_dialog.h"
#include "platform/win32/win32_dialog.h"

namespace gate::win32 {

// The set-password dialog `frmsetpassword` as a modeless dialog of the one message loop, owned by the setup
// window.
class SetPasswordView final : public gate::SetPasswordView, public platform::win32::ModelessDialog {
public:
    SetPasswordView(HWND owner, HINSTANCE instance, SetPasswordDialog& presenter);

    std::string Text1() const override;
    std::string Text2() const override;
    void ClearTexts() override;
    void SetLabel1(const std::string& text) override;
    void FocusText1() override;
    void Show() override;
    void Close() override;

private:
    void OnCreated() override;
    bool OnCommand(int id, int code) override;
    void OnCloseBox() override;
    void OnDestroy() override;

    SetPasswordDialog& m_presenter;
    HWND m_label1 = nullptr; // the children belong to the dialog
    HWND m_text1 = nullptr;
    HWND m_text2 = nullptr;
};

} // namespace gate::win32
