#include "setup/win32/add_item_view.h"

#include "platform/win32/win32_ui.h"

namespace setup::win32 {

namespace {

using platform::win32::DialogControl;

constexpr int kIdLabel2 = 1001;
constexpr int kIdTxtwindow = 1002;
constexpr int kIdChkconvert = 1003;

// In creation order, which is also the tab order: txtwindow, cmdok, cmdexit, chkconvert. Twips.
constexpr DialogControl kControls[] = {
    {kIdLabel2, L"STATIC", kAddItemInstruction, SS_LEFT, 0, 240, 120, 4215, 495},
    {kIdTxtwindow, L"EDIT", "", WS_TABSTOP | ES_AUTOHSCROLL | ES_LEFT, WS_EX_CLIENTEDGE, 240, 600, 4215, 295},
    {IDOK, L"BUTTON", "OK", WS_TABSTOP | BS_DEFPUSHBUTTON, 0, 4680, 120, 1215, 375},
    {IDCANCEL, L"BUTTON", "Cancel", WS_TABSTOP | BS_PUSHBUTTON, 0, 4680, 570, 1215, 375},
    {kIdChkconvert, L"BUTTON", "Convert text to Title Case", WS_TABSTOP | BS_AUTOCHECKBOX, 0, 240, 960, 4215, 255},
};

constexpr platform::win32::DialogLayout kLayout{"Add an Item", platform::win32::LayoutUnit::Twips, 6015, 1305,
                                                kControls};

} // namespace

AddItemView::AddItemView(HWND owner, HINSTANCE instance, AddItemDialog& presenter)
    : ModelessDialog(kLayout), m_presenter(presenter) {
    Create(owner, instance);
}

void AddItemView::OnCreated() {
    m_label2 = ::GetDlgItem(Window(), kIdLabel2);
    m_txtwindow = ::GetDlgItem(Window(), kIdTxtwindow);
    m_chkconvert = ::GetDlgItem(Window(), kIdChkconvert);
}

bool AddItemView::OnCommand(int id, int code) {
    if (id == IDOK && code == BN_CLICKED)
        m_presenter.cmdok_Click();
    else if (id == IDCANCEL && code == BN_CLICKED)
        m_presenter.cmdexit_Click();
    else if (id == kIdChkconvert && code == BN_CLICKED)
        m_presenter.chkconvert_Click();
    else if (id == kIdTxtwindow && code == EN_CHANGE)
        m_presenter.txtwindow_Change();
    else
        return false;
    return true;
}

void AddItemView::OnCloseBox() {
    // The close box closes the dialog like Cancel.
    m_presenter.cmdexit_Click();
}

void AddItemView::OnDestroy() {
    m_presenter.Form_Unload();
}

platform::WindowId AddItemView::Handle() const {
    return platform::win32::ToWindowId(Window());
}

std::string AddItemView::Text() const {
    return m_txtwindow ? platform::win32::WindowText(m_txtwindow) : std::string();
}

void AddItemView::SetText(const std::string& text) {
    if (m_txtwindow)
        platform::win32::SetText(m_txtwindow, text);
}

void AddItemView::SetCaretToEnd() {
    if (!m_txtwindow)
        return;
    const int length = ::GetWindowTextLengthW(m_txtwindow);
    ::SendMessageW(m_txtwindow, EM_SETSEL, static_cast<WPARAM>(length), static_cast<LPARAM>(length));
    ::SendMessageW(m_txtwindow, EM_SCROLLCARET, 0, 0);
}

bool AddItemView::ConvertChecked() const {
    return m_chkconvert && ::SendMessageW(m_chkconvert, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void AddItemView::SetInstruction(const std::string& text) {
    if (m_label2)
        platform::win32::SetText(m_label2, text);
}

void AddItemView::Show() {
    ShowCentred(m_txtwindow);
}

void AddItemView::Close() {
    Destroy();
}

} // namespace setup::win32
