#include "gate/win32/prompt_window.h"

#include <commctrl.h>

#include <string>
#include <vector>

#include "platform/win32/win32_ui.h"
#include "resource.h"

namespace gate::win32 {
namespace {

using platform::win32::EmptyDialogTemplate;
using platform::win32::FromPixels96;
using platform::win32::MakeChild;
using platform::win32::ScreenDpi;
using platform::win32::WindowText;

// Posted by a closing prompt to itself: the window goes once the handler that closed it has returned.
constexpr UINT kMsgDestroySelf = WM_APP + 1;
constexpr const char* kOwnerClass = "KestrelPromptOwner";

const ControlLayout& LayoutOf(int id) noexcept {
    for (const auto& c : kPromptLayout)
        if (c.id == id) return c;
    return kPromptLayout[0];
}

// The prompt's empty dialog: fixed dialog border, caption with a close box only, topmost. The controls are made
// from the layout table once the window exists.
constexpr DWORD kDialogStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_NOIDLEMSG;
constexpr DWORD kDialogExStyle = WS_EX_DLGMODALFRAME | WS_EX_TOPMOST;

// Typing a password must not go through an input-method editor's composition window. imm32 is loaded with
// user32 in every GUI process; where it is not, there is no editor to switch off.
void SwitchImeOff(HWND edit) noexcept {
    HMODULE imm = ::GetModuleHandleA("imm32.dll");
    if (!imm) return;
    using AssociateFn = HIMC(WINAPI*)(HWND, HIMC);
    FARPROC proc = ::GetProcAddress(imm, "ImmAssociateContext");
    if (proc) reinterpret_cast<AssociateFn>(reinterpret_cast<void*>(proc))(edit, nullptr);
}

} // namespace

Win32PromptView::Win32PromptView(HINSTANCE instance, HWND owner, PromptViewEvents& events)
    : m_instance(instance), m_events(&events) {
    const int dpi = ScreenDpi();
    const int iconSize = FromPixels96(LayoutOf(kIdImage1).width, dpi);
    m_globe.reset(static_cast<HICON>(
        ::LoadImageA(instance, MAKEINTRESOURCEA(IDI_GLOBE), IMAGE_ICON, iconSize, iconSize, LR_DEFAULTCOLOR)));

    // WM_INITDIALOG takes the new window into m_dialog; when creation fails it stays empty and every
    // call on this view does nothing.
    const std::vector<WORD> dialogTemplate = EmptyDialogTemplate(kDialogStyle, kDialogExStyle);
    ::CreateDialogIndirectParamA(instance, reinterpret_cast<LPCDLGTEMPLATEA>(dialogTemplate.data()), owner,
                                 &DialogProc, reinterpret_cast<LPARAM>(this));
}

Win32PromptView::~Win32PromptView() {
    WipePasswordBox();
    Detach();
}

INT_PTR CALLBACK Win32PromptView::DialogProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam) noexcept {
    if (msg == WM_INITDIALOG) {
        auto* self = reinterpret_cast<Win32PromptView*>(lParam);
        ::SetWindowLongPtrA(dialog, DWLP_USER, lParam);
        self->OnInitDialog(dialog);
        return FALSE; // the focus is placed when the prompt is first shown
    }
    auto* self = reinterpret_cast<Win32PromptView*>(::GetWindowLongPtrA(dialog, DWLP_USER));
    if (!self) {
        // A window cut off from its view: all that is left to do is to go.
        if (msg == kMsgDestroySelf) {
            ::DestroyWindow(dialog);
            return TRUE;
        }
        return msg == WM_CLOSE || msg == WM_COMMAND ? TRUE : FALSE;
    }
    return self->HandleMessage(dialog, msg, wParam, lParam);
}

INT_PTR Win32PromptView::HandleMessage(HWND dialog, UINT msg, WPARAM wParam, LPARAM) noexcept {
    try {
        switch (msg) {
        case WM_COMMAND:
            OnCommand(LOWORD(wParam), HIWORD(wParam));
            return TRUE;
        case WM_CLOSE: // the close box, Alt+F4 or the window menu; not Escape, which comes as IDCANCEL
            if (m_events) m_events->CloseBox_Click();
            return TRUE;
        case WM_TIMER:
            if (wParam == kTimer1 && m_events) m_events->Timer1_Timer();
            return TRUE;
        case kMsgDestroySelf:
            ::DestroyWindow(dialog);
            return TRUE;
        case WM_NCDESTROY:
            // Destroyed from outside as well (the session ending): forget the handles, nothing is left to close.
            ::SetWindowLongPtrA(dialog, DWLP_USER, 0);
            m_tooltip.release();
            m_dialog.release();
            m_image = m_label = m_password = m_ok = m_cancel = nullptr;
            m_events = nullptr;
            return FALSE;
        default:
            return FALSE;
        }
    } catch (...) {
        return TRUE; // nothing may cross the window procedure
    }
}

void Win32PromptView::OnCommand(int id, int code) noexcept {
    if (!m_events || code != BN_CLICKED) return;
    // Enter and Escape arrive here too, from the dialog manager; a hidden button (the loading notice) is not
    // there to be pressed.
    if (id == IDOK && m_ok && ::IsWindowVisible(m_ok)) m_events->OKButton_Click();
    else if (id == IDCANCEL && m_cancel && ::IsWindowVisible(m_cancel)) m_events->CancelButton_Click();
}

void Win32PromptView::OnInitDialog(HWND dialog) noexcept {
    m_dialog.reset(dialog);
    const int dpi = ScreenDpi();
    HFONT font = reinterpret_cast<HFONT>(::SendMessageA(dialog, WM_GETFONT, 0, 0));
    auto make = [&](const char* className, const char* text, DWORD style, DWORD exStyle, int id) noexcept {
        const ControlLayout& c = LayoutOf(id);
        return MakeChild(dialog, m_instance, className, text, WS_VISIBLE | style, exStyle, id,
                         FromPixels96(c.left, dpi), FromPixels96(c.top, dpi), FromPixels96(c.width, dpi),
                         FromPixels96(c.height, dpi), font);
    };

    // Made in tab order (txtpassword, OK, Cancel); the picture and the label take no focus.
    m_password = make("EDIT", "", WS_TABSTOP | ES_AUTOHSCROLL | ES_PASSWORD, WS_EX_CLIENTEDGE, kIdTxtpassword);
    m_ok = make("BUTTON", "OK", WS_TABSTOP | BS_DEFPUSHBUTTON, 0, IDOK);
    m_cancel = make("BUTTON", "Cancel", WS_TABSTOP | BS_PUSHBUTTON, 0, IDCANCEL);
    m_image = make("STATIC", "", SS_ICON | SS_CENTERIMAGE, 0, kIdImage1);
    // Titles are shown as they are: "&" is no mnemonic here. The label wraps over two lines.
    m_label = make("STATIC", "", SS_LEFT | SS_NOPREFIX, 0, kIdLblwindow);

    if (m_password) {
        ::SendMessageA(m_password, EM_SETPASSWORDCHAR, '*', 0);
        SwitchImeOff(m_password);
    }
    if (m_image && m_globe) {
        ::SendMessageA(m_image, STM_SETICON, reinterpret_cast<WPARAM>(m_globe.get()), 0);
        const ControlLayout& c = LayoutOf(kIdImage1); // setting an icon may resize the picture: put it back
        ::SetWindowPos(m_image, nullptr, FromPixels96(c.left, dpi), FromPixels96(c.top, dpi),
                       FromPixels96(c.width, dpi), FromPixels96(c.height, dpi), SWP_NOZORDER | SWP_NOACTIVATE);
    }
    ::SendMessageA(dialog, DM_SETDEFID, IDOK, 0);
    AddTooltip();

    // Client area in pixels, centred on the screen.
    RECT rect{0, 0, FromPixels96(kPromptClientWidth, dpi), FromPixels96(kPromptClientHeight, dpi)};
    ::AdjustWindowRectEx(&rect, static_cast<DWORD>(::GetWindowLongPtrA(dialog, GWL_STYLE)), FALSE,
                         static_cast<DWORD>(::GetWindowLongPtrA(dialog, GWL_EXSTYLE)));
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    ::SetWindowPos(dialog, nullptr, (::GetSystemMetrics(SM_CXSCREEN) - width) / 2,
                   (::GetSystemMetrics(SM_CYSCREEN) - height) / 2, width, height, SWP_NOZORDER | SWP_NOACTIVATE);

    // Timer1 runs from the moment the prompt exists.
    ::SetTimer(dialog, kTimer1, kTimer1Ms, nullptr);
}

void Win32PromptView::RestartRefreshTimer() {
    // Setting a timer that runs already starts its period again.
    if (m_dialog) ::SetTimer(m_dialog.get(), kTimer1, kTimer1Ms, nullptr);
}

void Win32PromptView::AddTooltip() noexcept {
    if (!m_password) return;
    m_tooltip.reset(::CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                                      CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, m_dialog.get(),
                                      nullptr, m_instance, nullptr));
    if (!m_tooltip) return;
    TOOLINFOA tool{};
    tool.cbSize = sizeof(tool);
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = m_dialog.get();
    tool.uId = reinterpret_cast<UINT_PTR>(m_password);
    tool.lpszText = const_cast<char*>(kPasswordTooltip);
    ::SendMessageA(m_tooltip.get(), TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
}

HWND Win32PromptView::Control(PromptControl control) const noexcept {
    switch (control) {
    case PromptControl::txtpassword: return m_password;
    case PromptControl::OKButton: return m_ok;
    case PromptControl::CancelButton: return m_cancel;
    }
    return nullptr;
}

void Win32PromptView::MakeTopmost() {
    if (m_dialog) ::SetWindowPos(m_dialog.get(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE);
}

void Win32PromptView::SetCaption(const std::string& caption) {
    if (m_dialog) ::SetWindowTextA(m_dialog.get(), caption.c_str());
}

void Win32PromptView::SetLabel(const std::string& text) {
    if (m_label) ::SetWindowTextA(m_label, text.c_str());
}

std::string Win32PromptView::PasswordText() {
    return m_password ? WindowText(m_password) : std::string();
}

void Win32PromptView::HideControl(PromptControl control) {
    if (HWND h = Control(control)) ::ShowWindow(h, SW_HIDE);
}

void Win32PromptView::Show() {
    HWND dialog = m_dialog.get();
    if (!dialog) return;
    if (!m_shown) {
        m_shown = true;
        ::ShowWindow(dialog, SW_SHOWNORMAL);
        ::SetForegroundWindow(dialog);
        // The box has the focus when the prompt opens (when it is there: not in the loading notice).
        if (m_password && ::IsWindowVisible(m_password))
            ::SendMessageA(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(m_password), TRUE);
        return;
    }
    // Shown already: only to the front. The typed text and the focus stay as they are.
    if (!::IsWindowVisible(dialog)) ::ShowWindow(dialog, SW_SHOWNA);
    ::SetWindowPos(dialog, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE);
    ::SetForegroundWindow(dialog);
}

void Win32PromptView::WipePasswordBox() noexcept {
    if (!m_password) return;
    // Overwrite the control's text in place (same length) before emptying it, so the typed password does not
    // stay behind in the control's freed buffer.
    const int length = ::GetWindowTextLengthA(m_password);
    if (length > 0) {
        try {
            std::string filler(static_cast<std::size_t>(length), ' ');
            ::SetWindowTextA(m_password, filler.c_str());
        } catch (...) {
        }
    }
    ::SetWindowTextA(m_password, "");
}

void Win32PromptView::Close() {
    m_events = nullptr;
    WipePasswordBox();
    Detach();
}

void Win32PromptView::Detach() noexcept {
    HWND dialog = m_dialog.get();
    if (!dialog) return;
    ::KillTimer(dialog, kTimer1);
    ::SetWindowLongPtrA(dialog, DWLP_USER, 0);
    ::ShowWindow(dialog, SW_HIDE);
    if (m_image) ::SendMessageA(m_image, STM_SETICON, 0, 0); // the icon goes with this object
    m_tooltip.reset();
    // A handler of this window may be running below us: the window destroys itself from the message loop.
    ::PostMessageA(dialog, kMsgDestroySelf, 0, 0);
    m_dialog.release();
    m_image = m_label = m_password = m_ok = m_cancel = nullptr;
}

Win32PromptViewFactory::Win32PromptViewFactory(HINSTANCE instance) : m_instance(instance) {}

Win32PromptViewFactory::~Win32PromptViewFactory() = default;

HWND Win32PromptViewFactory::Owner() {
    if (m_owner) return m_owner.get();
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = &::DefWindowProcA;
    wc.hInstance = m_instance;
    wc.lpszClassName = kOwnerClass;
    ::RegisterClassExA(&wc); // fails harmlessly when registered already
    // Never shown, no title: an owned window stays out of the taskbar, and nothing searches for this one.
    m_owner.reset(::CreateWindowExA(WS_EX_TOOLWINDOW, kOwnerClass, "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                    m_instance, nullptr));
    return m_owner.get();
}

std::unique_ptr<PromptView> Win32PromptViewFactory::CreatePromptView(PromptViewEvents& events) {
    return std::make_unique<Win32PromptView>(m_instance, Owner(), events);
}

} // namespace gate::win32
