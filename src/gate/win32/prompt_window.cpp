#include "gate/win32/prompt_window.h"

#include <string>

#include "platform/win32/win32_trace.h"
#include "platform/win32/win32_ui.h"
#include "resource.h"

namespace gate::win32 {
namespace {

using platform::win32::ControlKind;
using platform::win32::DialogControl;
using platform::win32::DialogLayout;
using platform::win32::LayoutScale;
using platform::win32::LayoutUnit;
using platform::win32::ScreenDpi;
using platform::win32::TraceLastError;

constexpr int kIdImage1 = 100;
constexpr int kIdLblwindow = 101;
constexpr int kIdTxtpassword = 102;
constexpr const char* kPasswordTooltip = "Password's are case sensitive";
constexpr UINT_PTR kTimer1 = 1;
constexpr UINT kTimer1Ms = 1000;
constexpr const wchar_t* kOwnerClass = L"KestrelPromptOwner";

// The prompt's layout: pixels at 96 dpi, client area 402 x 74. Made in tab order (txtpassword, OKButton,
// CancelButton); the picture and the label take no focus.
constexpr DialogControl kControls[] = {
    {kIdTxtpassword, L"EDIT", "", WS_TABSTOP | ES_AUTOHSCROLL | ES_PASSWORD, WS_EX_CLIENTEDGE, 48, 40, 185, 20,
     kPasswordTooltip},
    {IDOK, L"BUTTON", "OK", WS_TABSTOP | BS_DEFPUSHBUTTON, 0, 312, 8, 81, 25},
    {IDCANCEL, L"BUTTON", "Cancel", WS_TABSTOP | BS_PUSHBUTTON, 0, 312, 38, 81, 25},
    {kIdImage1, L"STATIC", "", SS_ICON | SS_CENTERIMAGE, 0, 8, 16, 32, 32, nullptr, 0, ControlKind::Icon},
    // Titles are shown as they are: "&" is no mnemonic here. The label wraps over two lines.
    {kIdLblwindow, L"STATIC", "", SS_LEFT | SS_NOPREFIX, 0, 48, 8, 257, 33},
};
constexpr const DialogControl& kImage1 = kControls[3];
static_assert(kImage1.id == kIdImage1);

// Fixed dialog frame with a close box only, topmost. The caption is the presenter's.
constexpr DialogLayout kLayout{.caption = "",
                               .unit = LayoutUnit::Pixels96,
                               .clientWidth = 402,
                               .clientHeight = 74,
                               .controls = kControls,
                               .style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_NOIDLEMSG,
                               .exStyle = WS_EX_DLGMODALFRAME | WS_EX_TOPMOST};

// Typing a password must not go through an input-method editor's composition window. imm32 is loaded with
// user32 in every GUI process; where it is not, there is no editor to switch off.
void SwitchImeOff(HWND edit) noexcept {
    HMODULE imm = ::GetModuleHandleW(L"imm32.dll");
    if (!imm)
        return;
    using AssociateFn = HIMC(WINAPI*)(HWND, HIMC);
    FARPROC proc = ::GetProcAddress(imm, "ImmAssociateContext");
    if (proc)
        reinterpret_cast<AssociateFn>(reinterpret_cast<void*>(proc))(edit, nullptr);
}

} // namespace

Win32PromptView::Win32PromptView(HINSTANCE instance, HWND owner, PromptViewEvents& events)
    : ModelessDialog(kLayout), m_instance(instance), m_events(&events) {
    // When creation fails every call on this view does nothing.
    Create(owner, instance);
}

void Win32PromptView::ShowGlobe() {
    if (!m_image)
        return;
    const LayoutScale scale(kLayout.unit, Dpi());
    const int iconSize = scale.ToPixels(kImage1.width);
    platform::win32::UniqueIcon globe(static_cast<HICON>(
        ::LoadImageW(m_instance, MAKEINTRESOURCEW(IDI_GLOBE), IMAGE_ICON, iconSize, iconSize, LR_DEFAULTCOLOR)));
    if (!globe) {
        TraceLastError("LoadImageW");
        return;
    }
    ::SendMessageW(m_image, STM_SETICON, reinterpret_cast<WPARAM>(globe.get()), 0);
    m_globe = std::move(globe); // the picture shows the new one before the old one goes
    // Setting an icon may resize the picture: put it back.
    ::SetWindowPos(m_image, nullptr, scale.ToPixels(kImage1.left), scale.ToPixels(kImage1.top), iconSize,
                   scale.ToPixels(kImage1.height), SWP_NOZORDER | SWP_NOACTIVATE);
}

void Win32PromptView::OnDpiChanged(int) {
    ShowGlobe();
}

void Win32PromptView::CentreOn(platform::WindowId window) {
    if (Created())
        platform::win32::CentreOnMonitorOf(Window(), platform::win32::ToHwnd(window));
}

Win32PromptView::~Win32PromptView() {
    Discard();
}

void Win32PromptView::OnCreated() {
    HWND dialog = Window();
    m_image = ::GetDlgItem(dialog, kIdImage1);
    m_label = ::GetDlgItem(dialog, kIdLblwindow);
    m_password = ::GetDlgItem(dialog, kIdTxtpassword);
    m_ok = ::GetDlgItem(dialog, IDOK);
    m_cancel = ::GetDlgItem(dialog, IDCANCEL);

    if (m_password) {
        ::SendMessageW(m_password, EM_SETPASSWORDCHAR, '*', 0);
        SwitchImeOff(m_password);
    }
    ShowGlobe();
    ::SendMessageW(dialog, DM_SETDEFID, IDOK, 0);
    platform::win32::CentreOnMonitorOf(dialog, nullptr);

    // Timer1 runs from the moment the prompt exists.
    if (!::SetTimer(dialog, kTimer1, kTimer1Ms, nullptr))
        TraceLastError("SetTimer");
}

bool Win32PromptView::OnCommand(int id, int code) {
    if (!m_events || code != BN_CLICKED)
        return true;
    // Enter and Escape arrive here too, from the dialog manager; a hidden button (the loading notice) is not
    // there to be pressed.
    if (id == IDOK && m_ok && ::IsWindowVisible(m_ok))
        m_events->OKButton_Click();
    else if (id == IDCANCEL && m_cancel && ::IsWindowVisible(m_cancel))
        m_events->CancelButton_Click();
    return true;
}

void Win32PromptView::OnCloseBox() {
    // The close box, Alt+F4 or the window menu; not Escape, which comes as IDCANCEL. The presenter closes the
    // prompt.
    if (m_events)
        m_events->CloseBox_Click();
}

bool Win32PromptView::OnTimer(UINT_PTR id) {
    if (id == kTimer1 && m_events)
        m_events->Timer1_Timer();
    return true;
}

void Win32PromptView::OnDestroy() {
    // Destroyed from outside (the session ending): nothing is left to close, and nothing more to report.
    m_events = nullptr;
    ForgetControls();
}

void Win32PromptView::RestartRefreshTimer() {
    // Setting a timer that runs already starts its period again.
    if (Created() && !::SetTimer(Window(), kTimer1, kTimer1Ms, nullptr))
        TraceLastError("SetTimer");
}

HWND Win32PromptView::Control(PromptControl control) const noexcept {
    switch (control) {
    case PromptControl::txtpassword:
        return m_password;
    case PromptControl::OKButton:
        return m_ok;
    case PromptControl::CancelButton:
        return m_cancel;
    }
    return nullptr;
}

void Win32PromptView::MakeTopmost() {
    if (Created())
        ::SetWindowPos(Window(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE);
}

void Win32PromptView::SetCaption(const std::string& caption) {
    if (Created())
        platform::win32::SetText(Window(), caption);
}

void Win32PromptView::SetLabel(const std::string& text) {
    if (m_label)
        platform::win32::SetText(m_label, text);
}

std::string Win32PromptView::PasswordText() {
    return m_password ? platform::win32::WindowText(m_password) : std::string();
}

void Win32PromptView::HideControl(PromptControl control) {
    if (HWND h = Control(control))
        ::ShowWindow(h, SW_HIDE);
}

void Win32PromptView::FocusControl(PromptControl control) {
    HWND h = Control(control);
    if (!h)
        return;
    ModelessDialog::FocusControl(h);
    // The dialog manager selects a text box's text on the way in. The caret goes to its end instead: typing carries
    // on from what is there rather than replacing a half-typed password unseen.
    if (control == PromptControl::txtpassword) {
        const WPARAM end = static_cast<WPARAM>(::GetWindowTextLengthW(h));
        ::SendMessageW(h, EM_SETSEL, end, static_cast<LPARAM>(end));
    }
}

bool Win32PromptView::Show() {
    HWND dialog = Window();
    if (!dialog)
        return false;
    // Shown already: only to the front, the typed text stays. The prompt usually comes up just as the program
    // whose window was hidden activates its next window, and Kestrel, in the background, may not simply take the
    // foreground from it.
    const bool front = platform::win32::TakeForeground(dialog, m_shown ? SW_SHOWNA : SW_SHOWNORMAL);
    m_shown = true;
    return front;
}

void Win32PromptView::Flash() {
    if (Created())
        platform::win32::FlashUntilForeground(Window());
}

bool Win32PromptView::OnActivated() {
    if (!m_events)
        return false;
    m_events->Form_Activate();
    return ::IsChild(Window(), ::GetFocus()) != FALSE;
}

void Win32PromptView::WipePasswordBox() noexcept {
    if (!m_password)
        return;
    // Overwrite the control's text in place (same length) before emptying it, so the typed password does not
    // stay behind in the control's freed buffer.
    const int length = ::GetWindowTextLengthW(m_password);
    if (length > 0) {
        try {
            std::wstring filler(static_cast<std::size_t>(length), L' ');
            ::SetWindowTextW(m_password, filler.c_str());
        } catch (...) {
            platform::win32::TraceException("Win32PromptView::WipePasswordBox");
        }
    }
    ::SetWindowTextW(m_password, L"");
}

void Win32PromptView::Close() {
    m_events = nullptr;
    Discard();
}

void Win32PromptView::Discard() noexcept {
    if (!Created())
        return;
    WipePasswordBox();
    ::KillTimer(Window(), kTimer1);
    // A handler of this window may be running below us: the window goes from the message loop.
    DestroyLater();
    if (m_image)
        ::SendMessageW(m_image, STM_SETICON, 0, 0); // the icon goes with this object
    ForgetControls();
}

void Win32PromptView::ForgetControls() noexcept {
    m_image = m_label = m_password = m_ok = m_cancel = nullptr;
}

Win32PromptViewFactory::Win32PromptViewFactory(HINSTANCE instance) : m_instance(instance) {}

Win32PromptViewFactory::~Win32PromptViewFactory() = default;

HWND Win32PromptViewFactory::Owner() {
    if (!m_owner)
        m_owner = platform::win32::MakeHiddenOwner(m_instance, kOwnerClass);
    return m_owner.get();
}

std::unique_ptr<PromptView> Win32PromptViewFactory::CreatePromptView(PromptViewEvents& events) {
    return std::make_unique<Win32PromptView>(m_instance, Owner(), events);
}

} // namespace gate::win32
