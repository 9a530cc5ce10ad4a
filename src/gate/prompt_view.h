#pragma once
#include <memory>
#include <string>

#include "platform/types.h"

namespace gate {

// The controls of the password prompt that the presenter shows or hides.
enum class PromptControl { txtpassword, OKButton, CancelButton };

// What the prompt window reports to its presenter.
class PromptViewEvents {
public:
    virtual ~PromptViewEvents() = default;
    virtual void OKButton_Click() = 0;     // the button, or Enter
    virtual void CancelButton_Click() = 0; // the button, or Escape
    virtual void CloseBox_Click() = 0;     // the title-bar close box (or Alt+F4)
    virtual void Timer1_Timer() = 0;       // every 1000 ms from creation until closed
    // The window has become the active window, by whatever route (opening, a click, Alt+Tab). A control that is
    // focused here keeps the focus.
    virtual void Form_Activate() = 0;
};

// The password prompt window `frmpassword`, as the presenter sees it. The view does what it is told and
// decides nothing. Its refresh timer `Timer1` runs from creation until Close().
class PromptView {
public:
    virtual ~PromptView() = default;
    // SetWindowPos HWND_TOPMOST, no size, no move, no activation.
    virtual void MakeTopmost() = 0;
    virtual void SetCaption(const std::string& caption) = 0;
    virtual void SetLabel(const std::string& text) = 0; // `lblwindow`
    virtual std::string PasswordText() = 0;             // `txtpassword`, exactly as typed
    virtual void HideControl(PromptControl control) = 0;
    // Puts the keyboard focus in a control (through the dialog manager, so the default button stays right).
    virtual void FocusControl(PromptControl control) = 0;
    // Shows the window modeless (when it is shown already, only brings it to the front) and asks for the
    // foreground in a way that works from a background process; true when it is the foreground window then.
    virtual bool Show() = 0;
    // Flashes the window until the user brings it to the front.
    virtual void Flash() = 0;
    // Centres the window on the monitor of this window (0: the primary monitor).
    virtual void CentreOn(platform::WindowId window) = 0;
    // Starts Timer1's period afresh, so that what the label shows now stays for a whole period.
    virtual void RestartRefreshTimer() = 0;
    // Discards the window (its typed text wiped). No event arrives afterwards. Safe to call from inside an event.
    virtual void Close() = 0;
};

class PromptViewFactory {
public:
    virtual ~PromptViewFactory() = default;
    // A new, hidden prompt window with an empty box whose timer already runs.
    virtual std::unique_ptr<PromptView> CreatePromptView(PromptViewEvents& events) = 0;
};

} // namespace gate
