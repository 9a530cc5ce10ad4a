#pragma once
#include <memory>
#include <string>

#include "common/prompt_opener.h"
#include "engine/lock_engine.h"
#include "platform/desktop.h"
#include "platform/event_log.h"
#include "platform/session_instance.h"
#include "platform/shell.h"
#include "platform/timer.h"
#include "store/registry.h"
#include "store/settings.h"

namespace app {

// Why the main window is closing.
enum class CloseReason {
    OwnCode,         // the program unloads it itself
    WindowsShutdown, // shutdown or log-off
    Other,           // the user's close command, the task manager, an owner closing
};

// What start-up and shutdown need of the main window and the process.
class MainWindowView {
public:
    virtual ~MainWindowView() = default;
    virtual void SetCaption(const std::string& caption) = 0;
    // Removes Close from the window menu, wherever the system put it.
    virtual void RemoveCloseFromSystemMenu() = 0;
    // Waits for the next message and dispatches it (the second instance's wait keeps the UI alive). False when
    // the program is to end (the main window went): the quit is kept for the main loop.
    virtual bool ProcessMessages() = 0;
    // Closes the main window from the program's own code: the close handler runs with CloseReason::OwnCode.
    virtual void Unload() = 0;
    // Ends the process at once with this exit code: no further window or timer handler runs.
    virtual void EndProcess(int exitCode) = 0;
};

// The main window's load and close handlers and the `timerdelay` of a second instance.
class Lifecycle {
public:
    static constexpr unsigned kDelayMs = 2000;

    Lifecycle(store::Registry& registry, platform::SessionInstance& instance, platform::Shell& shell,
              platform::TimerFactory& timers, engine::LockEngine& engine, store::Settings& settings,
              common::LoadingNotice& notice, MainWindowView& view, platform::EventLog& events);

    // The load handler; returns true when this copy is the first instance and keeps running.
    bool Form_Load();
    // The close handler. It never cancels the close.
    void Form_Unload(CloseReason reason);
    void TimerdelayTick() { m_timerdelay->SetEnabled(false); }

    platform::Timer& timerdelay() { return *m_timerdelay; }
    bool IsFirstInstance() const { return m_firstInstance; }

private:
    store::Registry& m_registry;
    platform::SessionInstance& m_instance;
    platform::Shell& m_shell;
    engine::LockEngine& m_engine;
    store::Settings& m_settings;
    common::LoadingNotice& m_notice;
    platform::EventLog& m_events;
    MainWindowView& m_view;
    std::unique_ptr<platform::Timer> m_timerdelay;
    bool m_firstInstance = false;
};

} // namespace app
