#pragma once
#include <windows.h>

#include "gate/set_password_dialog.h"

namespace gate::win32 {

// The set-password dialog `frmsetpassword` as a modeless dialog of the one message loop, owned by the setup
// window.
class SetPasswordView final : public gate::SetPasswordView {
public:
    SetPasswordView(HWND owner, HINSTANCE instance, SetPasswordDialog& presenter);
    ~SetPasswordView() override;
    SetPasswordView(const SetPasswordView&) = delete;
    SetPasswordView& operator=(const SetPasswordView&) = delete;

    bool Created() const { return m_window != nullptr; }

    std::string Text1() const override;
    std::string Text2() const override;
    void ClearTexts() override;
    void SetLabel1(const std::string& text) override;
    void FocusText1() override;
    void Show() override;
    void Close() override;

private:
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) noexcept;
    void CreateControls() noexcept;

    HINSTANCE m_instance;
    SetPasswordDialog* m_presenter; // null once the view lets go of it
    HWND m_window = nullptr;        // destroyed by Close or by the owner; this object outlives it
    HWND m_label1 = nullptr;
    HWND m_text1 = nullptr;
    HWND m_text2 = nullptr;
};

} // namespace gate::win32
