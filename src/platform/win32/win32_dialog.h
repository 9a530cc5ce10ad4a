#pragma once
#include <windows.h>

#include <span>

#include "platform/win32/win32_handles.h"

namespace platform::win32 {

// The unit of a layout table: pixels at 96 dots per inch, or twips. Both scale to the screen's DPI.
enum class LayoutUnit { Pixels96, Twips };

// What a control is beyond its class and style, for the views that treat kinds of control alike.
enum class ControlKind {
    Plain,     // static text, check box, list, edit box or button
    Icon,      // a picture that shows an icon
    LinkLabel, // plain text that acts as a button and turns blue under the pointer
    Hyperlink, // always blue and underlined
};

// One control of a layout table. The table's order is the creation order, which is also the tab order.
struct DialogControl {
    int id;
    const wchar_t* className;
    const char* text; // UTF-8, as the program keeps its texts
    DWORD style;      // WS_CHILD comes with every control, WS_VISIBLE with every one that is shown from the start
    DWORD exStyle;
    int left, top, width, height; // in the layout's unit; a width of 0 fits the text (on one line)
    const char* tooltip = nullptr;
    int tab = 0; // the page of a window with tabs that the control stands on (-1: the window itself)
    ControlKind kind = ControlKind::Plain;
};

// The program's dialogs: a fixed dialog frame with a caption and a close box, no minimise or maximise box.
constexpr DWORD kDialogFrameStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_3DLOOK;

// A dialog's caption, client area and controls, kept as data next to its view.
struct DialogLayout {
    const char* caption;
    LayoutUnit unit;
    int clientWidth, clientHeight;
    std::span<const DialogControl> controls;
    DWORD style = kDialogFrameStyle;
    DWORD exStyle = 0; // e.g. WS_EX_TOPMOST
};

// A layout's unit on this screen.
class LayoutScale {
public:
    LayoutScale(LayoutUnit unit, int dpi) noexcept : m_unit(unit), m_dpi(dpi) {}
    int ToPixels(int units) const noexcept;
    int Dpi() const noexcept { return m_dpi; }

private:
    LayoutUnit m_unit;
    int m_dpi;
};

// Makes a control of a layout table as a child of parent, its position counted from origin (in pixels of the
// parent's client area), with the font given; nullptr (and a trace) when the system makes none.
HWND MakeControl(HWND parent, HINSTANCE instance, const DialogControl& control, const LayoutScale& scale, POINT origin,
                 bool visible, HFONT font) noexcept;
// Gives a control made from a layout table the place and font of another scale (the window moved to a monitor of
// another resolution).
void PlaceControl(HWND control, const DialogControl& layout, const LayoutScale& scale, POINT origin,
                  HFONT font) noexcept;

// A tooltip window for the controls of `owner`; it belongs to the owner and goes with it. nullptr (and a
// trace) when the system makes none.
HWND MakeTooltips(HWND owner, HINSTANCE instance) noexcept;
// Gives `control`, a child of `owner`, a tooltip of `tooltips`.
void AddTooltip(HWND tooltips, HWND owner, HWND control, const char* text) noexcept;

// Brings a window of this process to the foreground from the background, as far as Windows lets it, and shows it
// with `showCommand` (e.g. SW_SHOWNORMAL) unless it is visible already. The foreground goes only to the foreground
// process or to one that received the last input, so this thread shares the foreground thread's input state for
// the moment of the request. When the window in front belongs to a program that does not answer, the request
// would wait for it: the window is then shown without the foreground. True when the window is the foreground
// window afterwards.
bool TakeForeground(HWND window, int showCommand) noexcept;

// Flashes a window's caption (and taskbar button) until it comes to the foreground.
void FlashUntilForeground(HWND window) noexcept;

// A window that is never shown, to own dialogs that have no window of the program above them: an owned window
// stays out of the taskbar. Its class is registered on first use.
UniqueHwnd MakeHiddenOwner(HINSTANCE instance, const wchar_t* className) noexcept;

// A modeless dialog of the program's one message loop (IsDialogMessage gives it Tab, Enter and Escape), made
// from an empty in-memory template in the standard dialog font and a fixed frame with a close box; its controls
// and their tooltips come from its layout table. The window is destroyed by Destroy or DestroyLater, by its
// owner going away, or with this object, which outlives it: the window's end is noted at WM_NCDESTROY. The
// derived view hears of the window's messages through the On... handlers; an exception they throw ends at the
// dialog procedure.
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
    // Destroys the window now; OnDestroy runs before this returns.
    void Destroy() noexcept;
    // Cuts the window off from this object at once (no message of it reaches the view any more, OnDestroy
    // does not run), hides it and lets it destroy itself from the message loop: safe from inside one of the
    // window's own handlers, with the handler's controls still there while it runs, and this object may go
    // right afterwards.
    void DestroyLater() noexcept;

    // The controls of the layout exist (found by id with GetDlgItem); the dialog is not shown yet.
    virtual void OnCreated() = 0;
    // A control's WM_COMMAND notification; true when the view took it.
    virtual bool OnCommand(int id, int code) = 0;
    // The close box, Alt+F4 or the window menu's Close; the window is destroyed afterwards, unless the view
    // has let go of it already.
    virtual void OnCloseBox() = 0;
    // The window is being destroyed, whichever way it goes (not when this object destroys it or let go of it).
    virtual void OnDestroy() = 0;
    // A timer of the window (SetTimer on Window()); true when the view took it.
    virtual bool OnTimer(UINT_PTR) { return false; }
    // The window has become the active window, whichever way. True when the view has put the focus on a control
    // (it stays there); otherwise the dialog manager puts back the focus of the last deactivation.
    virtual bool OnActivated() { return false; }
    // The window now stands at this resolution, its controls laid out again from the table (the system's scaling of
    // dialogs is switched off): what the view sized itself follows here.
    virtual void OnDpiChanged(int dpi) { (void)dpi; }
    int Dpi() const noexcept { return m_dpi; }

private:
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) noexcept;
    void CreateControls() noexcept;
    // WM_DPICHANGED: the layout at the new resolution, in the place the system suggests.
    void ChangeDpi(int dpi, const RECT& suggested) noexcept;

    const DialogLayout& m_layout;
    HINSTANCE m_instance = nullptr;
    UniqueHwnd m_window;   // let go of, not destroyed, at WM_NCDESTROY: the system has destroyed it then
    UniqueHwnd m_tooltips; // owned by the window: let go of with it
    UniqueFont m_font;     // the dialog font at a resolution other than the one it was made at
    int m_dpi = 96;
};

} // namespace platform::win32
