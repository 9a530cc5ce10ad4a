#pragma once
#include <windows.h>

#include <span>

#include "platform/win32/win32_handles.h"

namespace platform::win32 {

// A tab control whose pages are the controls of its parent laid on its body, as the setup window has it. It knows
// the colour of its body as it draws itself (button face in the classic look, lighter under a theme), so that
// labels and check boxes on it take the same background.
class TabControl {
public:
    TabControl() = default;
    TabControl(const TabControl&) = delete;
    TabControl& operator=(const TabControl&) = delete;

    // Makes the control with one tab per caption, below its parent's other children.
    void Create(HWND parent, HINSTANCE instance, int id, RECT place, HFONT font, std::span<const char* const> tabs);
    HWND Handle() const { return m_tab.get(); }
    int Selected() const;

    // The body's colour, and a brush of it for WM_CTLCOLORSTATIC; taken again after a theme or colour change.
    COLORREF BodyColour() const { return m_bodyColour; }
    HBRUSH BodyBrush() const { return m_bodyBrush.get(); }
    void TakeBodyColour();

    // True when the point (screen coordinates) lies on the control's own surface, tab strip and body.
    bool Contains(POINT screenPoint) const;

private:
    UniqueHwnd m_tab;
    COLORREF m_bodyColour = 0;
    UniqueBrush m_bodyBrush;
};

// Puts the focus back on the control that had it when a plain window (not a dialog) is activated again: the
// window's default activation focuses the window itself. The owner passes its WM_ACTIVATE and every message it
// does not know to Handle.
class FocusKeeper {
public:
    explicit FocusKeeper(HWND window);
    // True when the message was this keeper's own (result is then the window procedure's answer).
    bool Handle(UINT message, WPARAM wParam, LRESULT& result);

private:
    HWND m_window;
    HWND m_lastFocus = nullptr;
    UINT m_restoreMessage = 0;
};

// Which push button Enter presses in a plain window that lets the dialog manager handle its keys: the push button
// that has the focus, otherwise the window's default button, drawn with the thick frame accordingly.
class DefaultButton {
public:
    DefaultButton(int defaultId) : m_defaultId(defaultId), m_currentId(defaultId) {}
    // A push button gained or lost the focus (BN_SETFOCUS / BN_KILLFOCUS).
    void FocusChanged(HWND parent, int buttonId, bool focused);
    // The answer to DM_GETDEFID.
    LRESULT DefId() const { return MAKELRESULT(m_currentId, DC_HASDEFID); }

private:
    int m_defaultId;
    int m_currentId;
};

} // namespace platform::win32
