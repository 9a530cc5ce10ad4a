#include "app/lifecycle.h"

#include "app/association.h"
#include "common/program_exit.h"

namespace app {

Lifecycle::Lifecycle(store::Registry& registry, platform::SessionInstance& instance, platform::Shell& shell,
                     platform::TimerFactory& timers, engine::LockEngine& engine, store::Settings& settings,
                     common::LoadingNotice& notice, MainWindowView& view, platform::EventLog& events)
    : m_registry(registry), m_instance(instance), m_shell(shell), m_engine(engine), m_settings(settings),
      m_notice(notice), m_events(events), m_view(view),
      m_timerdelay(timers.MakeTimer(kDelayMs, [this] { TimerdelayTick(); })) {}

bool Lifecycle::Form_Load() {
    CreateAssociation(m_registry, m_shell.ProgramFolder());
    // The main window is not closed by hand.
    m_view.RemoveCloseFromSystemMenu();

    // One copy a session, by the session's lock: a window of another program that calls itself "Kestrel 2004" does
    // not stop the lock from starting. A second copy keeps its "*** Kestrel ***" caption, by which the running
    // copy's watcher knows that the setup window is asked for.
    if (m_instance.Claim()) {
        m_firstInstance = true;
        m_view.SetCaption(engine::kRunningCaption);
        m_engine.timerorv().SetEnabled(true);
        m_settings.GetSettings();
        m_engine.GetWindows();
        // A window in front already raises no event: it is looked at now, not a period later.
        m_engine.TimerorvTick();
        return true;
    }

    // A copy is running: our main window keeps "*** Kestrel ***" while we live, which its watcher takes as a
    // request for the setup window. Show a short notice meanwhile, then go.
    m_notice.ShowLoadingNotice();
    m_timerdelay->SetEnabled(true);
    // A close from outside ends the wait early: a pending quit comes before any timer tick, so waiting on for
    // the tick would never see it.
    while (m_timerdelay->Enabled() && m_view.ProcessMessages()) {
    }
    m_notice.CloseNotice();
    m_view.Unload();
    return false;
}

void Lifecycle::Form_Unload(CloseReason reason) {
    // A copy started from now on is the first instance, as one started while this one's window says "crumbs!".
    m_instance.Release();
    // Every step runs whatever the one before did; nothing here may stop the close.
    try {
        m_view.SetCaption(engine::kClosingCaption);
    } catch (...) {
    }
    if (reason == CloseReason::OwnCode || reason == CloseReason::WindowsShutdown) {
        // The guard leaves a copy ended by the session's end ended, and starts any other again.
        m_view.EndProcess(reason == CloseReason::WindowsShutdown ? common::kExitSessionEnded : 0);
        return;
    }
    // A second copy hands nothing over: the running copy goes on guarding, and its companion is not ours to start.
    if (!m_firstInstance)
        return;
    // From here on this copy guards nothing: whoever reads the log should know it did not end by its own Exit.
    try {
        m_events.Report(platform::EventKind::ClosedFromOutside);
    } catch (...) {
    }
    try {
        m_shell.StartHidden(CompanionPath(m_shell.ProgramFolder()));
    } catch (...) {
    }
}

} // namespace app
