#pragma once
#include <windows.h>

#include <functional>
#include <string>

#include "app/lifecycle.h"
#include "common/deferred_work.h"

namespace app::win32 {

// The hidden main window `frmorv`: the hub that carries the timers, owns the tray icon, receives its
// notifications, and becomes the setup window when shown. This class owns the window itself; what the
// messages mean is decided by the handler that the program installs.
class MainWindow final : public app::MainWindowView {
public:
    using Handler = std::function<bool(UINT, WPARAM, LPARAM, LRESULT&)>;
    using CloseHandler = std::function<void(app::CloseReason)>;

    static constexpr const char* kClassName = "KestrelMainWindow";

    // The window's own waits (ProcessMessages) run the program's loop with `later`'s work.
    MainWindow(HINSTANCE instance, common::DeferredWork& later);
    ~MainWindow() override;
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;

    HWND Handle() const { return m_hwnd; }
    HICON Icon() const { return m_icon; }
    // Messages go to this handler first; what it does not take goes to the default handling below.
    void SetHandler(Handler handler) { m_handler = std::move(handler); }
    void SetCloseHandler(CloseHandler handler) { m_onClose = std::move(handler); }

    // MainWindowView
    void SetCaption(const std::string& caption) override;
    void RemoveCloseFromSystemMenu() override;
    bool ProcessMessages() override;
    void Unload() override;
    void EndProcess() override;

private:
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) noexcept;
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) noexcept;
    void Close(app::CloseReason reason) noexcept;

    common::DeferredWork& m_later;
    HWND m_hwnd = nullptr;
    HICON m_icon = nullptr; // shared resource icon, not destroyed
    Handler m_handler;
    CloseHandler m_onClose;
    bool m_closing = false;
};

// One round of the program's message loop: waits for a message and dispatches it, letting the active
// window handle dialog keys (Tab, Enter, Esc), then runs the work posted to `later` that can run now.
// False when the loop should end (WM_QUIT).
bool PumpOneMessage(common::DeferredWork& later, int& exitCode);

} // namespace app::win32
