#include "platform/win32/win32_dialog.h"

#include <commctrl.h>

#include <algorithm>
#include <vector>

#include "platform/win32/win32_trace.h"
#include "platform/win32/win32_ui.h"

namespace platform::win32 {

namespace {

// Posted by a dialog that has let go of its window: the window goes once the handler that let go has returned.
constexpr UINT kMsgDestroySelf = WM_APP + 1;

// Room past a fitted text's measured width: a glyph's overhang (an underlined "m") reaches beyond it.
constexpr int kFitSpareTwips = 60;

} // namespace

int LayoutScale::ToPixels(int units) const noexcept {
    return m_unit == LayoutUnit::Twips ? FromTwips(units, m_dpi) : FromPixels96(units, m_dpi);
}

HWND MakeControl(HWND parent, HINSTANCE instance, const DialogControl& c, const LayoutScale& scale, POINT origin,
                 bool visible, HFONT font) noexcept {
    int width = scale.ToPixels(c.width);
    int height = scale.ToPixels(c.height);
    if (c.width == 0) {
        // As wide as the text, so that only the text is clickable.
        const SIZE size = TextSize(parent, font, Wide(c.text));
        width = size.cx + FromTwips(kFitSpareTwips, scale.Dpi());
        height = std::max<int>(height, size.cy);
    }
    const DWORD shown = visible ? WS_VISIBLE : 0;
    return MakeChild(parent, instance, c.className, c.text, shown | c.style, c.exStyle, c.id,
                     origin.x + scale.ToPixels(c.left), origin.y + scale.ToPixels(c.top), width, height, font);
}

void PlaceControl(HWND control, const DialogControl& c, const LayoutScale& scale, POINT origin, HFONT font) noexcept {
    if (!control)
        return;
    if (font)
        ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    int width = scale.ToPixels(c.width);
    int height = scale.ToPixels(c.height);
    if (c.width == 0) {
        const SIZE size = TextSize(control, font, Wide(c.text));
        width = size.cx + FromTwips(kFitSpareTwips, scale.Dpi());
        height = std::max<int>(height, size.cy);
    }
    ::SetWindowPos(control, nullptr, origin.x + scale.ToPixels(c.left), origin.y + scale.ToPixels(c.top), width, height,
                   SWP_NOZORDER | SWP_NOACTIVATE);
    ::InvalidateRect(control, nullptr, TRUE);
}

HWND MakeTooltips(HWND owner, HINSTANCE instance) noexcept {
    HWND tooltips = ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                                      CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, owner, nullptr,
                                      instance, nullptr);
    if (!tooltips)
        TraceLastError("CreateWindowExW(tooltips)");
    return tooltips;
}

void AddTooltip(HWND tooltips, HWND owner, HWND control, const char* text) noexcept {
    if (!tooltips || !control || !text)
        return;
    std::wstring wide = Wide(text); // the control keeps a copy of its own
    TTTOOLINFOW tool{};
    tool.cbSize = TTTOOLINFOW_V2_SIZE;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = owner;
    tool.uId = reinterpret_cast<UINT_PTR>(control);
    tool.lpszText = wide.data();
    if (!::SendMessageW(tooltips, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool)))
        TraceFailure("TTM_ADDTOOLW", 0);
}

namespace {

// How long the thread of the window in front has to answer before it is taken for hung.
constexpr UINT kAnswerMs = 200;

// Whether the thread of another program's window answers: asking for the foreground, or sharing its input state,
// waits for that thread, and a hung program would keep the prompt from coming at all.
bool Answers(HWND window) noexcept {
    if (::IsHungAppWindow(window))
        return false;
    DWORD_PTR result = 0;
    return ::SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG | SMTO_BLOCK, kAnswerMs, &result) != 0;
}

} // namespace

bool TakeForeground(HWND window, int showCommand) noexcept {
    HWND foreground = ::GetForegroundWindow();
    const DWORD self = ::GetCurrentThreadId();
    const DWORD other = foreground ? ::GetWindowThreadProcessId(foreground, nullptr) : 0;
    const bool wasVisible = ::IsWindowVisible(window) != FALSE;
    if (other != 0 && other != self && !Answers(foreground)) {
        // The program in front cannot give the foreground up now: shown without it, and the caller flashes it.
        if (!wasVisible)
            ::ShowWindow(window, SW_SHOWNA);
        return false;
    }
    // With no foreground window, or the foreground in this thread, the request is allowed as it is.
    bool attached = false;
    if (other != 0 && other != self) {
        attached = ::AttachThreadInput(self, other, TRUE) != FALSE;
        if (!attached)
            TraceLastError("AttachThreadInput"); // e.g. an elevated program in front: the plain request below
    }
    if (!::SetForegroundWindow(window))
        TraceFailure("SetForegroundWindow", 0);
    // Shown once it is in front, and still sharing the foreground's input state: whoever starts typing the moment it
    // appears types into it, not into the window that was in front.
    if (!wasVisible)
        ::ShowWindow(window, showCommand);
    if (!::BringWindowToTop(window))
        TraceLastError("BringWindowToTop");
    ::SetLastError(ERROR_SUCCESS); // no window active before also gives nullptr
    if (!::SetActiveWindow(window) && ::GetLastError() != ERROR_SUCCESS)
        TraceLastError("SetActiveWindow");
    if (attached && !::AttachThreadInput(self, other, FALSE))
        TraceLastError("AttachThreadInput(detach)");
    // Wine leaves the foreground with the other thread's input state, whose active window has just moved to
    // this thread: asked again, now from the thread that holds the active window.
    if (attached && ::GetForegroundWindow() != window && !::SetForegroundWindow(window))
        TraceFailure("SetForegroundWindow", 0);
    return ::GetForegroundWindow() == window;
}

void FlashUntilForeground(HWND window) noexcept {
    FLASHWINFO flash{};
    flash.cbSize = sizeof flash;
    flash.hwnd = window;
    flash.dwFlags = FLASHW_ALL | FLASHW_TIMERNOFG;
    ::FlashWindowEx(&flash); // returns the state before the call, not a failure
}

UniqueHwnd MakeHiddenOwner(HINSTANCE instance, const wchar_t* className) noexcept {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = &::DefWindowProcW;
    wc.hInstance = instance;
    wc.lpszClassName = className;
    if (!::RegisterClassExW(&wc) && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
        TraceLastError("RegisterClassExW");
    // No title: nothing searches for this one.
    UniqueHwnd owner(
        ::CreateWindowExW(WS_EX_TOOLWINDOW, className, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, instance, nullptr));
    if (!owner)
        TraceLastError("CreateWindowExW");
    return owner;
}

ModelessDialog::~ModelessDialog() {
    if (m_window) {
        ::SetWindowLongPtrW(m_window.get(), DWLP_USER, 0);
        m_tooltips.reset();
        m_window.reset();
    }
}

void ModelessDialog::Create(HWND owner, HINSTANCE instance) noexcept {
    m_instance = instance;
    try {
        const std::vector<WORD> dialogTemplate = EmptyDialogTemplate(m_layout.style, m_layout.exStyle);
        if (!::CreateDialogIndirectParamW(instance, reinterpret_cast<LPCDLGTEMPLATEW>(dialogTemplate.data()), owner,
                                          &ModelessDialog::DialogProc, reinterpret_cast<LPARAM>(this)))
            TraceLastError("CreateDialogIndirectParamW");
    } catch (...) {
        // No memory for the template: no window, as when the system refuses one.
        TraceException("ModelessDialog::Create");
    }
}

INT_PTR CALLBACK ModelessDialog::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    if (message == WM_INITDIALOG) {
        auto* self = reinterpret_cast<ModelessDialog*>(lParam);
        ::SetWindowLongPtrW(window, DWLP_USER, lParam);
        self->m_window.reset(window);
        TakeOverDialogScaling(window);
        self->CreateControls();
        return FALSE; // the focus is placed when the dialog is shown
    }
    auto* self = reinterpret_cast<ModelessDialog*>(::GetWindowLongPtrW(window, DWLP_USER));
    if (!self) {
        // Not made yet, or let go of: all that is left to do is to go when told. A click or the close box in
        // the moment before does nothing.
        if (message == kMsgDestroySelf) {
            ::DestroyWindow(window);
            return TRUE;
        }
        return message == WM_CLOSE || message == WM_COMMAND ? TRUE : FALSE;
    }
    const INT_PTR handled = self->HandleMessage(message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        ::SetWindowLongPtrW(window, DWLP_USER, 0);
        (void)self->m_tooltips.release(); // destroyed before the window that owns it
        (void)self->m_window.release();
    }
    return handled;
}

void ModelessDialog::CreateControls() noexcept {
    HWND window = Window();
    m_dpi = WindowDpi(window);
    const LayoutScale scale(m_layout.unit, m_dpi);
    auto font = reinterpret_cast<HFONT>(::SendMessageW(window, WM_GETFONT, 0, 0));
    const bool anyTooltip = std::any_of(m_layout.controls.begin(), m_layout.controls.end(),
                                        [](const DialogControl& c) { return c.tooltip != nullptr; });
    if (anyTooltip)
        m_tooltips.reset(MakeTooltips(window, m_instance));
    for (const DialogControl& c : m_layout.controls) {
        HWND control = MakeControl(window, m_instance, c, scale, POINT{0, 0}, true, font);
        if (c.tooltip)
            AddTooltip(m_tooltips.get(), window, control, c.tooltip);
    }
    SetText(window, m_layout.caption);
    SetClientSize(window, scale.ToPixels(m_layout.clientWidth), scale.ToPixels(m_layout.clientHeight));
    try {
        OnCreated();
    } catch (...) {
        TraceException("ModelessDialog::OnCreated");
    }
}

void ModelessDialog::ChangeDpi(int dpi, const RECT& suggested) noexcept {
    HWND window = Window();
    m_dpi = dpi;
    // The dialog font ("MS Shell Dlg", 8 points) at the new resolution.
    m_font = MakeFont(L"MS Shell Dlg", 800, dpi);
    ::SendMessageW(window, WM_SETFONT, reinterpret_cast<WPARAM>(m_font.get()), FALSE);
    const LayoutScale scale(m_layout.unit, dpi);
    for (const DialogControl& c : m_layout.controls)
        PlaceControl(::GetDlgItem(window, c.id), c, scale, POINT{0, 0}, m_font.get());
    ::SetWindowPos(window, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                   suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
    SetClientSize(window, scale.ToPixels(m_layout.clientWidth), scale.ToPixels(m_layout.clientHeight));
    try {
        OnDpiChanged(dpi);
    } catch (...) {
        TraceException("ModelessDialog::OnDpiChanged");
    }
}

INT_PTR ModelessDialog::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    try {
        switch (message) {
        case WM_DPICHANGED:
            if (const RECT* suggested = DpiChangeFromTheSystem(lParam))
                ChangeDpi(HIWORD(wParam), *suggested);
            return TRUE;
        case WM_COMMAND:
            return OnCommand(LOWORD(wParam), HIWORD(wParam)) ? TRUE : FALSE;
        case WM_CLOSE:
            OnCloseBox();
            Destroy();
            return TRUE;
        case WM_TIMER:
            return OnTimer(wParam) ? TRUE : FALSE;
        case WM_DESTROY:
            OnDestroy();
            return FALSE;
        case WM_ACTIVATE:
            if (LOWORD(wParam) == WA_INACTIVE)
                return FALSE; // the dialog manager notes where the focus was
            // Where the view puts the focus, it stays: the dialog manager would put it back where it was at the last
            // deactivation. Done here, not in a message posted for later, so that keys typed right after the
            // activation cannot reach the old place first. A click on a button still presses it: the button takes
            // the focus when its own mouse message comes, after this.
            return OnActivated() ? TRUE : FALSE;
        default:
            return FALSE;
        }
    } catch (...) {
        TraceException("ModelessDialog::HandleMessage");
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
        ::SendMessageW(Window(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(control), TRUE);
}

void ModelessDialog::Destroy() noexcept {
    // Not reset(): the window keeps its handle here until WM_NCDESTROY, so that its last messages can use it.
    if (m_window)
        ::DestroyWindow(m_window.get());
}

void ModelessDialog::DestroyLater() noexcept {
    HWND window = m_window.get();
    if (!window)
        return;
    ::SetWindowLongPtrW(window, DWLP_USER, 0);
    ::ShowWindow(window, SW_HIDE);
    m_tooltips.reset(); // a tip that is showing goes now, with the window's face
    if (!::PostMessageW(window, kMsgDestroySelf, 0, 0))
        TraceLastError("PostMessageW");
    (void)m_window.release();
}

} // namespace platform::win32
