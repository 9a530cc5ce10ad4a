#include "platform/win32/win32_tab_control.h"

#include <commctrl.h>

#include "platform/win32/win32_trace.h"
#include "platform/win32/win32_ui.h"

namespace platform::win32 {

void TabControl::Create(HWND parent, HINSTANCE instance, int id, RECT place, HFONT font,
                        std::span<const char* const> tabs) {
    m_tab.reset(MakeChild(parent, instance, WC_TABCONTROLW, "", WS_VISIBLE | WS_CLIPSIBLINGS | WS_TABSTOP, 0, id,
                          place.left, place.top, place.right - place.left, place.bottom - place.top, font));
    if (!m_tab)
        return;
    int index = 0;
    for (const char* caption : tabs) {
        std::wstring text = Wide(caption);
        TCITEMW item{};
        item.mask = TCIF_TEXT;
        item.pszText = text.data();
        if (::SendMessageW(m_tab.get(), TCM_INSERTITEMW, static_cast<WPARAM>(index++),
                           reinterpret_cast<LPARAM>(&item)) < 0)
            TraceFailure("TCM_INSERTITEMW", 0);
    }
    TakeBodyColour();
}

int TabControl::Selected() const {
    return m_tab ? static_cast<int>(::SendMessageW(m_tab.get(), TCM_GETCURSEL, 0, 0)) : -1;
}

void TabControl::TakeBodyColour() {
    // Drawn into memory and sampled in the middle of the body; button face when that cannot be done.
    COLORREF colour = ::GetSysColor(COLOR_BTNFACE);
    RECT client{};
    HWND tab = m_tab.get();
    if (tab && ::GetClientRect(tab, &client) && client.right > 0 && client.bottom > 0) {
        const WindowDc screen(tab);
        const UniqueDc memory(screen ? ::CreateCompatibleDC(screen.get()) : nullptr);
        const UniqueBitmap bitmap(memory ? ::CreateCompatibleBitmap(screen.get(), client.right, client.bottom)
                                         : nullptr);
        if (!bitmap) {
            TraceLastError("CreateCompatibleBitmap");
        } else {
            const SelectedObject selected(memory.get(), bitmap.get());
            ::FillRect(memory.get(), &client, ::GetSysColorBrush(COLOR_BTNFACE));
            ::SendMessageW(tab, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(memory.get()), PRF_CLIENT | PRF_ERASEBKGND);
            RECT body = client;
            ::SendMessageW(tab, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&body));
            const COLORREF sampled =
                ::GetPixel(memory.get(), (body.left + body.right) / 2, (body.top + body.bottom) / 2);
            if (sampled != CLR_INVALID)
                colour = sampled;
        }
    }
    m_bodyColour = colour;
    m_bodyBrush.reset(::CreateSolidBrush(colour));
    if (!m_bodyBrush)
        TraceLastError("CreateSolidBrush");
}

bool TabControl::Contains(POINT screenPoint) const {
    RECT rect{};
    return m_tab && ::GetWindowRect(m_tab.get(), &rect) && ::PtInRect(&rect, screenPoint);
}

FocusKeeper::FocusKeeper(HWND window) : m_window(window) {
    m_restoreMessage = ::RegisterWindowMessageW(L"Kestrel.FocusKeeper.Restore");
    if (m_restoreMessage == 0)
        TraceLastError("RegisterWindowMessageW");
}

bool FocusKeeper::Handle(UINT message, WPARAM wParam, LRESULT& result) {
    if (message == WM_ACTIVATE) {
        if (LOWORD(wParam) == WA_INACTIVE) {
            HWND focus = ::GetFocus();
            if (focus && ::IsChild(m_window, focus))
                m_lastFocus = focus;
        } else if (m_lastFocus) {
            // After the default activation, which focuses the window itself.
            ::PostMessageW(m_window, m_restoreMessage, 0, 0);
        }
        return false; // only watched
    }
    if (message != m_restoreMessage || message == 0)
        return false;
    if (m_lastFocus && ::IsWindow(m_lastFocus) && ::IsWindowVisible(m_lastFocus) && ::IsWindowEnabled(m_lastFocus) &&
        ::GetActiveWindow() == m_window && ::GetFocus() == m_window)
        ::SetFocus(m_lastFocus);
    result = 0;
    return true;
}

void DefaultButton::FocusChanged(HWND parent, int buttonId, bool focused) {
    const int wanted = focused ? buttonId : m_defaultId;
    if (wanted == m_currentId)
        return;
    for (int id : {m_currentId, wanted}) {
        HWND button = ::GetDlgItem(parent, id);
        if (!button)
            continue;
        const auto style = static_cast<DWORD>(::GetWindowLongPtrW(button, GWL_STYLE));
        const DWORD type = id == wanted ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
        ::SendMessageW(button, BM_SETSTYLE, (style & ~static_cast<DWORD>(BS_TYPEMASK)) | type, TRUE);
    }
    m_currentId = wanted;
}

} // namespace platform::win32
