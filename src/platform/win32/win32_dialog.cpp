#include "platform/win32/win32_dialog.h"

#include <vector>

#include "platform/win32/win32_ui.h"

namespace platform::win32 {

namespace {

constexpr DWORD kDialogStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_3DLOOK;

} // namespace

ModelessDialog::~ModelessDialog() {
    if (m_window) {
        ::SetWindowLongPtrA(m_window.get(), DWLP_USER, 0);
        m_window.reset();
    }
}

void ModelessDialog::Create(HWND owner, HINSTANCE instance) noexcept {
    m_instance = instance;
    try {
        const std::vector<WORD> dialogTemplate = EmptyDialogTemplate(kDialogStyle);
        ::CreateDialogIndirectParamA(instance, reinterpret_cast<LPCDLGTEMPLATEA>(dialogTemplate.data()), owner,
                                     &ModelessDialog::DialogProc, reinterpret_cast<LPARAM>(this));
    } catch (...) {
        // No memory for the template: no window, as when the system refuses one.
    }
}

INT_PTR CALLBACK ModelessDialog::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    if (message == WM_INITDIALOG) {
        auto* self = reinterpret_cast<ModelessDialog*>(lParam);
        ::SetWindowLongPtrA(window, DWLP_USER, lParam);
        self->m_window.reset(window);
        self->CreateControls();
        return FALSE; // the focus is placed when the dialog is shown
    }
    auto* self = reinterpret_cast<ModelessDialog*>(::GetWindowLongPtrA(window, DWLP_USER));
    if (!self)
        return FALSE;
    const INT_PTR handled = self->HandleMessage(message, wParam);
    if (message == WM_NCDESTROY) {
        ::SetWindowLongPtrA(window, DWLP_USER, 0);
        (void)self->m_window.release();
    }
    return handled;
}

void ModelessDialog::CreateControls() noexcept {
    const int dpi = ScreenDpi();
    const bool twips = m_layout.unit == LayoutUnit::Twips;
    auto toPixels = [dpi, twips](int units) { return twips ? FromTwips(units, dpi) : FromPixels96(units, dpi); };
    HWND window = Window();
    auto font = reinterpret_cast<HFONT>(::SendMessageA(window, WM_GETFONT, 0, 0));
    for (const DialogControl& c : m_layout.controls) {
        MakeChild(window, m_instance, c.className, c.text, WS_VISIBLE | c.style, c.exStyle, c.id, toPixels(c.left),
                  toPixels(c.top), toPixels(c.width), toPixels(c.height), font);
    }
    ::SetWindowTextA(window, m_layout.caption);
    SetClientSize(window, toPixels(m_layout.clientWidth), toPixels(m_layout.clientHeight));
    try {
        OnCreated();
    } catch (...) {
    }
}

INT_PTR ModelessDialog::HandleMessage(UINT message, WPARAM wParam) noexcept {
    try {
        switch (message) {
        case WM_COMMAND:
            return OnCommand(LOWORD(wParam), HIWORD(wParam)) ? TRUE : FALSE;
        case WM_CLOSE:
            OnCloseBox();
            Destroy();
            return TRUE;
        case WM_DESTROY:
            OnDestroy();
            return FALSE;
        default:
            return FALSE;
        }
    } catch (...) {
        return TRUE;
    }
}

void ModelessDialog::ShowCentred(HWND focus) noexcept {
    if (!m_window)
        return;
    CentreOnScreen(Window());
    ::ShowWindow(Window(), SW_SHOW);
    ::SetForegroundWindow(Window());
    FocusControl(focus);
}

void ModelessDialog::FocusControl(HWND control) noexcept {
    if (control && m_window)
        ::SendMessageA(Window(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(control), TRUE);
}

void ModelessDialog::Destroy() noexcept {
    // Not reset(): the window keeps its handle here until WM_NCDESTROY, so that its last messages can use it.
    if (m_window)
        ::DestroyWindow(m_window.get());
}

} // namespace platform::win32
