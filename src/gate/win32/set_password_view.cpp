#include "gate/win32/set_password_view.h"

#include <vector>

namespace gate::win32 {

namespace {

constexpr int kIdLabel1 = 1001;
constexpr int kIdText1 = 1002;
constexpr int kIdLabel2 = 1003;
constexpr int kIdText2 = 1004;

constexpr int kClientWidth = 354; // pixels at 96 dpi
constexpr int kClientHeight = 137;

struct ControlLayout {
    int id;
    const char* className;
    const char* text;
    DWORD style;
    DWORD exStyle;
    int left, top, width, height; // pixels at 96 dpi
};

// Creation order is the tab order: Text1, OKButton, CancelButton, Text2. A password box keeps the input-method
// editor off by itself.
constexpr ControlLayout kLayout[] = {
    {kIdLabel1, "STATIC", kEnterNewPassword, SS_LEFT, 0, 24, 8, 209, 33},
    {kIdText1, "EDIT", "", WS_TABSTOP | ES_PASSWORD | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE, 24, 40, 209, 20},
    {IDOK, "BUTTON", "OK", WS_TABSTOP | BS_DEFPUSHBUTTON, 0, 264, 8, 81, 25},
    {IDCANCEL, "BUTTON", "Cancel", WS_TABSTOP | BS_PUSHBUTTON, 0, 264, 38, 81, 25},
    {kIdLabel2, "STATIC", kConfirmNewPassword, SS_LEFT, 0, 24, 72, 209, 17},
    {kIdText2, "EDIT", "", WS_TABSTOP | ES_PASSWORD | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE, 24, 104, 209, 20},
};

constexpr DWORD kDialogStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_3DLOOK | DS_SETFONT;

int ScreenDpi() noexcept {
    HDC screen = ::GetDC(nullptr);
    const int dpi = screen ? ::GetDeviceCaps(screen, LOGPIXELSY) : 96;
    if (screen)
        ::ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : 96;
}

// An empty dialog with the standard dialog font; the controls come from the layout table.
std::vector<WORD> EmptyDialogTemplate() {
    std::vector<WORD> words = {LOWORD(kDialogStyle), HIWORD(kDialogStyle), 0, 0, 0, 0, 0, 100, 40, 0, 0, 0, 8};
    for (const char* face = "MS Shell Dlg"; *face; ++face)
        words.push_back(static_cast<WORD>(*face));
    words.push_back(0);
    return words;
}

// The text of a box, read straight into the string that is handed out (no other copy to wipe).
std::string BoxText(HWND box) {
    const int length = box ? ::GetWindowTextLengthA(box) : 0;
    if (length <= 0)
        return {};
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    const int copied = ::GetWindowTextA(box, text.data(), length + 1);
    text.resize(copied > 0 ? static_cast<std::size_t>(copied) : 0);
    return text;
}

} // namespace

SetPasswordView::SetPasswordView(HWND owner, HINSTANCE instance, SetPasswordDialog& presenter)
    : m_instance(instance), m_presenter(&presenter) {
    const std::vector<WORD> dialogTemplate = EmptyDialogTemplate();
    ::CreateDialogIndirectParamA(instance, reinterpret_cast<LPCDLGTEMPLATEA>(dialogTemplate.data()), owner,
                                 &SetPasswordView::DialogProc, reinterpret_cast<LPARAM>(this));
}

SetPasswordView::~SetPasswordView() {
    m_presenter = nullptr; // the presenter is going too: nothing may call back into it now
    if (m_window)
        ::DestroyWindow(m_window);
}

INT_PTR CALLBACK SetPasswordView::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    if (message == WM_INITDIALOG) {
        auto* self = reinterpret_cast<SetPasswordView*>(lParam);
        ::SetWindowLongPtrA(window, DWLP_USER, lParam);
        self->m_window = window;
        self->CreateControls();
        return FALSE; // Show puts the focus in Text1
    }
    auto* self = reinterpret_cast<SetPasswordView*>(::GetWindowLongPtrA(window, DWLP_USER));
    if (!self)
        return FALSE;
    const INT_PTR handled = self->HandleMessage(message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        ::SetWindowLongPtrA(window, DWLP_USER, 0);
        self->m_window = nullptr;
    }
    return handled;
}

void SetPasswordView::CreateControls() noexcept {
    const int dpi = ScreenDpi();
    auto scale = [dpi](int pixels) { return ::MulDiv(pixels, dpi, 96); };
    auto font = ::SendMessageA(m_window, WM_GETFONT, 0, 0);
    for (const ControlLayout& c : kLayout) {
        HWND control = ::CreateWindowExA(c.exStyle, c.className, c.text, WS_CHILD | WS_VISIBLE | c.style, scale(c.left),
                                         scale(c.top), scale(c.width), scale(c.height), m_window,
                                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.id)), m_instance, nullptr);
        if (!control)
            continue;
        ::SendMessageA(control, WM_SETFONT, static_cast<WPARAM>(font), FALSE);
        if (c.id == kIdLabel1)
            m_label1 = control;
        if (c.id == kIdText1)
            m_text1 = control;
        if (c.id == kIdText2)
            m_text2 = control;
    }
    for (HWND box : {m_text1, m_text2}) {
        if (box)
            ::SendMessageA(box, EM_SETPASSWORDCHAR, '*', 0);
    }
    ::SetWindowTextA(m_window, kSetPasswordCaption);
    RECT rect{0, 0, scale(kClientWidth), scale(kClientHeight)};
    ::AdjustWindowRectEx(&rect, kDialogStyle, FALSE, static_cast<DWORD>(::GetWindowLongPtrA(m_window, GWL_EXSTYLE)));
    ::SetWindowPos(m_window, nullptr, 0, 0, rect.right - rect.left, rect.bottom - rect.top,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

INT_PTR SetPasswordView::HandleMessage(UINT message, WPARAM wParam, LPARAM) noexcept {
    try {
        switch (message) {
        case WM_COMMAND:
            if (!m_presenter || HIWORD(wParam) != BN_CLICKED)
                return FALSE;
            if (LOWORD(wParam) == IDOK)
                m_presenter->OKButton_Click();
            else if (LOWORD(wParam) == IDCANCEL)
                m_presenter->CancelButton_Click();
            else
                return FALSE;
            return TRUE;
        case WM_CLOSE:
            // The close box works as Cancel.
            if (m_presenter)
                m_presenter->CancelButton_Click();
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

std::string SetPasswordView::Text1() const {
    return BoxText(m_text1);
}

std::string SetPasswordView::Text2() const {
    return BoxText(m_text2);
}

void SetPasswordView::ClearTexts() {
    if (m_text1)
        ::SetWindowTextA(m_text1, "");
    if (m_text2)
        ::SetWindowTextA(m_text2, "");
}

void SetPasswordView::SetLabel1(const std::string& text) {
    if (m_label1)
        ::SetWindowTextA(m_label1, text.c_str());
}

void SetPasswordView::FocusText1() {
    if (m_text1 && m_window)
        ::SendMessageA(m_window, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(m_text1), TRUE);
}

void SetPasswordView::Show() {
    if (!m_window)
        return;
    RECT rect{};
    ::GetWindowRect(m_window, &rect);
    const int x = (::GetSystemMetrics(SM_CXSCREEN) - (rect.right - rect.left)) / 2;
    const int y = (::GetSystemMetrics(SM_CYSCREEN) - (rect.bottom - rect.top)) / 2;
    ::SetWindowPos(m_window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    ::ShowWindow(m_window, SW_SHOW);
    ::SetForegroundWindow(m_window);
    FocusText1();
}

void SetPasswordView::Close() {
    if (m_window)
        ::DestroyWindow(m_window);
}

} // namespace gate::win32
