#include "gate/win32/set_password_view.h"

#include "platform/win32/win32_ui.h"

namespace gate::win32 {

namespace {

using platform::win32::DialogControl;

constexpr int kIdLabel1 = 1001;
constexpr int kIdText1 = 1002;
constexpr int kIdLabel2 = 1003;
constexpr int kIdText2 = 1004;

// Creation order is the tab order: Text1, OKButton, CancelButton, Text2. A password box keeps the input-method
// editor off by itself. Pixels at 96 dpi.
constexpr DialogControl kControls[] = {
    {kIdLabel1, L"STATIC", kEnterNewPassword, SS_LEFT, 0, 24, 8, 209, 33},
    {kIdText1, L"EDIT", "", WS_TABSTOP | ES_PASSWORD | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE, 24, 40, 209, 20},
    {IDOK, L"BUTTON", "OK", WS_TABSTOP | BS_DEFPUSHBUTTON, 0, 264, 8, 81, 25},
    {IDCANCEL, L"BUTTON", "Cancel", WS_TABSTOP | BS_PUSHBUTTON, 0, 264, 38, 81, 25},
    {kIdLabel2, L"STATIC", kConfirmNewPassword, SS_LEFT, 0, 24, 72, 209, 17},
    {kIdText2, L"EDIT", "", WS_TABSTOP | ES_PASSWORD | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE, 24, 104, 209, 20},
};

constexpr platform::win32::DialogLayout kLayout{kSetPasswordCaption, platform::win32::LayoutUnit::Pixels96, 354, 137,
                                                kControls};

std::string BoxText(HWND box) {
    return box ? platform::win32::WindowText(box) : std::string();
}

} // namespace

SetPasswordView::SetPasswordView(HWND owner, HINSTANCE instance, SetPasswordDialog& presenter)
    : ModelessDialog(kLayout), m_presenter(presenter) {
    Create(owner, instance);
}

void SetPasswordView::OnCreated() {
    m_label1 = ::GetDlgItem(Window(), kIdLabel1);
    m_text1 = ::GetDlgItem(Window(), kIdText1);
    m_text2 = ::GetDlgItem(Window(), kIdText2);
    for (HWND box : {m_text1, m_text2}) {
        if (box)
            ::SendMessageW(box, EM_SETPASSWORDCHAR, '*', 0);
    }
}

bool SetPasswordView::OnCommand(int id, int code) {
    if (code != BN_CLICKED)
        return false;
    if (id == IDOK)
        m_presenter.OKButton_Click();
    else if (id == IDCANCEL)
        m_presenter.CancelButton_Click();
    else
        return false;
    return true;
}

void SetPasswordView::OnCloseBox() {
    // The close box works as Cancel.
    m_presenter.CancelButton_Click();
}

void SetPasswordView::OnDestroy() {
    m_presenter.Form_Unload();
}

std::string SetPasswordView::Text1() const {
    return BoxText(m_text1);
}

std::string SetPasswordView::Text2() const {
    return BoxText(m_text2);
}

void SetPasswordView::ClearTexts() {
    if (m_text1)
        ::SetWindowTextW(m_text1, L"");
    if (m_text2)
        ::SetWindowTextW(m_text2, L"");
}

void SetPasswordView::SetLabel1(const std::string& text) {
    if (m_label1)
        platform::win32::SetText(m_label1, text);
}

void SetPasswordView::FocusText1() {
    FocusControl(m_text1);
}

void SetPasswordView::Show() {
    ShowCentred(m_text1);
}

void SetPasswordView::Close() {
    Destroy();
}

} // namespace gate::win32
