#pragma once
#include <functional>
#include <memory>
#include <string>

#include "common/modal_state.h"
#include "common/password.h"
#include "platform/text_case.h"

namespace gate {

constexpr const char* kSetPasswordCaption = "Set Password";
constexpr const char* kEnterNewPassword = "Enter new password:";
constexpr const char* kConfirmNewPassword = "Confirm new password:";
constexpr const char* kPasswordsDoNotMatch = "Passwords do not match!";

// The window of the set-password dialog `frmsetpassword`, as its presenter sees it.
class SetPasswordView {
public:
    virtual ~SetPasswordView() = default;
    virtual std::string Text1() const = 0;
    virtual std::string Text2() const = 0;
    virtual void ClearTexts() = 0; // empties both boxes
    virtual void SetLabel1(const std::string& text) = 0;
    virtual void FocusText1() = 0;
    virtual void Show() = 0; // centred, focus in Text1
    // Destroys the window; the view then reports Form_Unload (which finds the dialog already closed).
    virtual void Close() = 0;
};

// Whether a confirmation matches the new password. It ignores letter case by the system's rules, so that one typed
// with Caps Lock on still matches, in any script.
bool ConfirmationMatches(const platform::TextCase& textCase, const std::string& password,
                         const std::string& confirmation);

// The set-password dialog `frmsetpassword`: a new password typed twice (the confirmation ignores letter case)
// goes in force at once. Storing it is left to whoever opened it: the setup window's OK and Apply, or the modes of
// kestrel.exe that set or hash a password for an installation (app/password_modes.h), which open it without an
// owner. The dialog disables its owner while it exists and enables it on every way it closes.
class SetPasswordDialog {
public:
    // passwordSet: told when OK has put a new password in force.
    SetPasswordDialog(common::Password& password, const platform::TextCase& textCase,
                      std::function<void(bool)> setOwnerEnabled, std::function<void()> passwordSet = nullptr);
    SetPasswordDialog(const SetPasswordDialog&) = delete;
    SetPasswordDialog& operator=(const SetPasswordDialog&) = delete;

    // Creating the dialog disables the setup window.
    void Create(std::unique_ptr<SetPasswordView> view);
    void Show();
    bool IsOpen() const { return m_modal.IsOpen(); }

    void OKButton_Click();
    void CancelButton_Click(); // also Escape and the close box
    void Form_Unload();        // the window closes or is destroyed by any way

private:
    void CloseDialog();

    common::Password& m_password;
    const platform::TextCase& m_textCase;
    std::function<void()> m_passwordSet;
    std::unique_ptr<SetPasswordView> m_view;
    // After the view: a dialog destroyed while open gives the setup window back before its window goes.
    common::ModalState m_modal;
};

} // namespace gate
