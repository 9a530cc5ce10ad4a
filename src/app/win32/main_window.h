#pragma once
#include <windows.h>

#include <string>

#include "app/lifecycle.h"
#include "common/deferred_work.h"
#include "platform/win32/win32_window.h"

namespace app::win32 {

// The hidden main window `frmorv`: the hub that carries the timers, owns the tray icon, receives its
// notifications, and becomes the setup window when shown. This class makes and owns the window and knows how it
// closes and how the program's loop runs; what the other messages mean is the derived program's.
class MainWindow : public platform::win32::MessageWindow, public app::MainWindowView {
public:
    static constexpr const wchar_t* kClassName = L"KestrelMainWindow";

    HICON Icon() const { return m_icon; }
    // The work that handlers post for the program's own loop.
    common::DeferredWork& Later() { return m_later; }

    // MainWindowView
    void SetCaption(const std::string& caption) override;
    void RemoveCloseFromSystemMenu() override;
    bool ProcessMessages() override;
    void Unload() override;
    void EndProcess(int exitCode) override;

protected:
    // Makes the window, hidden, with the caption every copy starts with.
    explicit MainWindow(HINSTANCE instance);
    ~MainWindow() override;

    // A message for the program (the tray icon's, the setup window's controls'); true when it was taken, with the
    // window procedure's result in `result`. Messages that it does not take get the main window's own handling.
    virtual bool OnProgramMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) = 0;
    // The window is closing, for this reason; it goes afterwards whatever this does.
    virtual void OnClose(app::CloseReason reason) = 0;
    // Called by the derived program at the end of its construction: its handlers above run from then on. Until
    // then (the window's creation, the controls made on it) every message gets the main window's own handling.
    void ProgramReady() { m_programReady = true; }
    // Called first thing by the derived program's destructor: its members go, the window stays a moment longer.
    void ProgramGone() { m_programReady = false; }

private:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void Close(app::CloseReason reason) noexcept;

    common::DeferredWork m_later;
    HICON m_icon = nullptr; // shared resource icon, not destroyed
    bool m_closing = false;
    bool m_programReady = false;
    bool m_sessionEnding = false; // Windows asked whether the session may end
};

// One round of the program's message loop: waits for a message and dispatches it, letting the active
// window handle dialog keys (Tab, Enter, Esc), then runs the work posted to `later` that can run now.
// False when the loop should end (WM_QUIT).
bool PumpOneMessage(common::DeferredWork& later, int& exitCode);

} // namespace app::win32
