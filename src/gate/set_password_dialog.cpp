#include "gate/set_password_dialog.h"

#include "common/secure_wipe.h"

namespace gate {

namespace {

// Lower case of ANSI text for the confirmation: ASCII letters and the accented Latin letters of the Western
// code page, so that a confirmation typed with Caps Lock on still matches.
std::string Lowered(const std::string& text) {
    std::string lowered(text);
    for (char& c : lowered) {
        const auto u = static_cast<unsigned char>(c);
        if ((u >= 'A' && u <= 'Z') || (u >= 0xC0 && u <= 0xDE && u != 0xD7))
            c = static_cast<char>(u + 0x20);
    }
    return lowered;
}

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

SetPasswordDialog::SetPasswordDialog(common::Password& password, std::function<void(bool)> setOwnerEnabled)
    : m_password(password), m_modal(std::move(setOwnerEnabled)) {}

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
    const Wiped lower1(Lowered(*text1));
    const Wiped lower2(Lowered(*text2));
    if (*lower1 != *lower2) {
        m_view->SetLabel1(kPasswordsDoNotMatch);
        m_view->ClearTexts();
        m_view->FocusText1();
        return;
    }
    // Both empty: refused without a word, the dialog stays open.
    if ((*text1).empty())
        return;
    m_password.Set(*text1); // the first box's letter case is the password
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
