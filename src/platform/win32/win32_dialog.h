#pragma once
#include <windows.h>

#include <span>

#include "platform/win32/win32_handles.h"

namespace platform::win32 {

// The unit of a dialog's layout table: pixels at 96 dots per inch, or twips. Both scale to the screen's DPI.
enum class LayoutUnit { Pixels96, Twips };

// One control of a dialog's layout table. The table's order is the creation order, which is also the tab order.
struct DialogControl {
    int id;
    const char* className;
    const char* text;
    DWORD style; // WS_CHILD | WS_VISIBLE come with every control
    DWORD exStyle;
    int left, top, width, height; // in the layout's unit
};

// A dialog's caption, client area and controls, kept as data next to its view.
struct DialogLayout {
    const char* caption;
    LayoutUnit unit;
    int clientWidth, clientHeight;
    std::span<const DialogControl> controls;
};

// A modeless dialog of the program's one message loop (IsDialogMessage gives it Tab, Enter and Escape), made
// from an empty in-memory template in the standard dialog font and a fixed frame with a close box; its controls
// come from its layout table. The window is destroyed by Destroy, by its owner going away, or with this object,
// which outlives it: the window's end is noted at WM_NCDESTROY. The derived view hears of the window's messages
// through the On... handlers; an exception they throw ends at the dialog procedure.
class ModelessDialog {
public:
    ModelessDialog(const ModelessDialog&) = delete;
    ModelessDialog& operator=(const ModelessDialog&) = delete;

    bool Created() const noexcept { return m_window != nullptr; }

protected:
    explicit ModelessDialog(const DialogLayout& layout) noexcept : m_layout(layout) {}
    // The window is cut off from this object before it is destroyed: its last messages find no view to call.
    ~ModelessDialog();

    // Makes the window, hidden, with its controls; called by the derived constructor, whose members are ready
    // by then. On failure Created() stays false and every call on the view does nothing.
    void Create(HWND owner, HINSTANCE instance) noexcept;
    HWND Window() const noexcept { return m_window.get(); }
    // Centres the dialog on the screen, shows it in front and puts the focus in `focus`.
    void ShowCentred(HWND focus) noexcept;
    // Through the dialog manager, so that the default button stays right.
    void FocusControl(HWND control) noexcept;
    void Destroy() noexcept;

    // The controls of the layout exist (found by id with GetDlgItem); the dialog is not shown yet.
    virtual void OnCreated() = 0;
    // A control's WM_COMMAND notification; true when the view took it.
    virtual bool OnCommand(int id, int code) = 0;
    // The close box, Alt+F4 or the window menu's Close; the window is destroyed afterwards.
    virtual void OnCloseBox() = 0;
    // The window is being destroyed, whichever way it goes (not when this object destroys it).
    virtual void OnDestroy() = 0;

private:
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
    INT_PTR HandleMessage(UINT message, WPARAM wParam) noexcept;
    void CreateControls() noexcept;

    const DialogLayout& m_layout;
    HINSTANCE m_instance = nullptr;
    UniqueHwnd m_window; // let go of, not destroyed, at WM_NCDESTROY: the system has destroyed it then
};

} // namespace platform::win32
