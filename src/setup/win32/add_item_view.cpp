#include "setup/win32/add_item_view.h"

#include "platform/win32/win32_ui.h"

namespace setup::win32 {

namespace {

using platform::win32::CentreOnScreen;
using platform::win32::EmptyDialogTemplate;
using platform::win32::FromTwips;
using platform::win32::MakeChild;
using platform::win32::ScreenDpi;
using platform::win32::SetClientSize;
using platform::win32::WindowText;

constexpr int kIdLabel2 = 1001;
constexpr int kIdTxtwindow = 1002;
constexpr int kIdChkconvert = 1003;

constexpr const char* kCaption = "Add an Item";
constexpr int kClientWidth = 6015; // twips
constexpr int kClientHeight = 1305;

struct ControlLayout {
    int id;
    const char* className;
    const char* text;
    DWORD style;
    DWORD exStyle;
    int left, top, width, height; // twips
};

// In creation order, which is also the tab order: txtwindow, cmdok, cmdexit, chkconvert.
constexpr ControlLayout kLayout[] = {
    {kIdLabel2, "STATIC", kAddItemInstruction, SS_LEFT, 0, 240, 120, 4215, 495},
    {kIdTxtwindow, "EDIT", "", WS_TABSTOP | ES_AUTOHSCROLL | ES_LEFT, WS_EX_CLIENTEDGE, 240, 600, 4215, 295},
    {IDOK, "BUTTON", "OK", WS_TABSTOP | BS_DEFPUSHBUTTON, 0, 4680, 120, 1215, 375},
    {IDCANCEL, "BUTTON", "Cancel", WS_TABSTOP | BS_PUSHBUTTON, 0, 4680, 570, 1215, 375},
    {kIdChkconvert, "BUTTON", "Convert text to Title Case", WS_TABSTOP | BS_AUTOCHECKBOX, 0, 240, 960, 4215, 255},
};

constexpr DWORD kDialogStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_3DLOOK;

} // namespace

AddItemView::AddItemView(HWND owner, HINSTANCE instance, AddItemDialog& presenter)
    : m_instance(instance), m_presenter(&presenter) {
    const std::vector<WORD> dialogTemplate = EmptyDialogTemplate(kDialogStyle);
    ::CreateDialogIndirectParamA(instance, reinterpret_cast<LPCDLGTEMPLATEA>(dialogTemplate.data()), owner,
                                 &AddItemView::DialogProc, reinterpret_cast<LPARAM>(this));
}

AddItemView::~AddItemView() {
    m_presenter = nullptr; // the presenter is going too: nothing may call back into it now
    if (m_window)
        ::DestroyWindow(m_window);
}

INT_PTR CALLBACK AddItemView::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    if (message == WM_INITDIALOG) {
        auto* self = reinterpret_cast<AddItemView*>(lParam);
        ::SetWindowLongPtrA(window, DWLP_USER, lParam);
        self->m_window = window;
        self->CreateControls();
        return FALSE; // Show puts the focus in the text box
    }
    auto* self = reinterpret_cast<AddItemView*>(::GetWindowLongPtrA(window, DWLP_USER));
    if (!self)
        return FALSE;
    const INT_PTR handled = self->HandleMessage(message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        ::SetWindowLongPtrA(window, DWLP_USER, 0);
        self->m_window = nullptr;
    }
    return handled;
}

void AddItemView::CreateControls() noexcept {
    const int dpi = ScreenDpi();
    auto font = reinterpret_cast<HFONT>(::SendMessageA(m_window, WM_GETFONT, 0, 0));
    for (const ControlLayout& c : kLayout) {
        HWND control = MakeChild(m_window, m_instance, c.className, c.text, WS_VISIBLE | c.style, c.exStyle, c.id,
                                 FromTwips(c.left, dpi), FromTwips(c.top, dpi), FromTwips(c.width, dpi),
                                 FromTwips(c.height, dpi), font);
        if (c.id == kIdLabel2)
            m_label2 = control;
        if (c.id == kIdTxtwindow)
            m_txtwindow = control;
        if (c.id == kIdChkconvert)
            m_chkconvert = control;
    }
    ::SetWindowTextA(m_window, kCaption);
    SetClientSize(m_window, FromTwips(kClientWidth, dpi), FromTwips(kClientHeight, dpi));
}

INT_PTR AddItemView::HandleMessage(UINT message, WPARAM wParam, LPARAM) noexcept {
    try {
        switch (message) {
        case WM_COMMAND: {
            if (!m_presenter)
                return FALSE;
            const int id = LOWORD(wParam);
            const int code = HIWORD(wParam);
            if (id == IDOK && code == BN_CLICKED)
                m_presenter->cmdok_Click();
            else if (id == IDCANCEL && code == BN_CLICKED)
                m_presenter->cmdexit_Click();
            else if (id == kIdChkconvert && code == BN_CLICKED)
                m_presenter->chkconvert_Click();
            else if (id == kIdTxtwindow && code == EN_CHANGE)
                m_presenter->txtwindow_Change();
            else
                return FALSE;
            return TRUE;
        }
        case WM_CLOSE:
            // The close box closes the dialog like Cancel.
            if (m_presenter)
                m_presenter->cmdexit_Click();
            if (m_window)
                ::DestroyWindow(m_window);
            return TRUE;
        case WM_DESTROY:
            if (m_presenter)
                m_presenter->Form_Unload();
            return FALSE;
        default:
            return FALSE;
        }
    } catch (...) {
        return TRUE;
    }
}

platform::WindowId AddItemView::Handle() const {
    return reinterpret_cast<platform::WindowId>(m_window);
}

std::string AddItemView::Text() const {
    return m_txtwindow ? WindowText(m_txtwindow) : std::string();
}

void AddItemView::SetText(const std::string& text) {
    if (m_txtwindow)
        ::SetWindowTextA(m_txtwindow, text.c_str());
}

void AddItemView::SetCaretToEnd() {
    if (!m_txtwindow)
        return;
    const int length = ::GetWindowTextLengthA(m_txtwindow);
    ::SendMessageA(m_txtwindow, EM_SETSEL, static_cast<WPARAM>(length), static_cast<LPARAM>(length));
    ::SendMessageA(m_txtwindow, EM_SCROLLCARET, 0, 0);
}

bool AddItemView::ConvertChecked() const {
    return m_chkconvert && ::SendMessageA(m_chkconvert, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void AddItemView::SetInstruction(const std::string& text) {
    if (m_label2)
        ::SetWindowTextA(m_label2, text.c_str());
}

void AddItemView::Show() {
    if (!m_window)
        return;
    CentreOnScreen(m_window);
    ::ShowWindow(m_window, SW_SHOW);
    ::SetForegroundWindow(m_window);
    // Through the dialog manager, so that the default button stays right.
    if (m_txtwindow)
        ::SendMessageA(m_window, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(m_txtwindow), TRUE);
}

void AddItemView::Close() {
    if (m_window)
        ::DestroyWindow(m_window);
}

} // namespace setup::win32
