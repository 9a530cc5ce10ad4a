#include "gate/set_password_dialog.h"

#include "common/secure_wipe.h"

namespace gate {

namespace {

// Wipes the copies of typed passwords when the handler leaves, whichever way it leaves.
class Wiped {
public:
    explicit Wiped(std::string text) : m_text(std::move(text)) {}
    ~Wiped() { common::WipeString(m_text); }
    Wiped(const Wiped&) = delete;
    Wiped& operator=(const Wiped&) = delete;
    const std::string& operator*() const { return m_text; }

private:
    std::string m_text;
};

} // namespace

bool ConfirmationMatches(const platform::TextCase& textCase, const std::string& password,
                         const std::string& confirmation) {
    const Wiped folded1(textCase.Folded(password));
    const Wiped folded2(textCase.Folded(confirmation));
    return *folded1 == *folded2;
}

SetPasswordDialog::SetPasswordDialog(common::Password& password, const platform::TextCase& textCase,
                                     std::function<void(bool)> setOwnerEnabled, std::function<void()> passwordSet)
    : m_password(password), m_textCase(textCase), m_passwordSet(std::move(passwordSet)),
      m_modal(std::move(setOwnerEnabled)) {}

void SetPasswordDialog::Create(std::unique_ptr<SetPasswordView> view) {
    m_view = std::move(view);
    if (m_view)
        m_modal.Open();
}

void SetPasswordDialog::Show() {
    if (m_modal.IsOpen())
        m_view->Show();
}

void SetPasswordDialog::OKButton_Click() {
    if (!m_modal.IsOpen())
        return;
    const Wiped text1(m_view->Text1());
    const Wiped text2(m_view->Text2());
    if (!ConfirmationMatches(m_textCase, *text1, *text2)) {
        m_view->SetLabel1(kPasswordsDoNotMatch);
        m_view->ClearTexts();
        m_view->FocusText1();
        return;
    }
    // Both empty: refused without a word, the dialog stays open.
    if ((*text1).empty())
        return;
    m_password.Set(*text1); // the first box's letter case is the password
    if (m_passwordSet)
        m_passwordSet();
    CloseDialog();
}

void SetPasswordDialog::CancelButton_Click() {
    if (m_modal.IsOpen())
        CloseDialog();
}

void SetPasswordDialog::Form_Unload() {
    m_modal.Close();
}

void SetPasswordDialog::CloseDialog() {
    // Enable the setup window before the dialog goes, so that the system activates it rather than another program.
    m_modal.Close();
    m_view->Close();
}

} // namespace gate
