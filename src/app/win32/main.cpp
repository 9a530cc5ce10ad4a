// The program's entry: builds the platform, the main window and the presenters, runs start-up and the
// message loop. Everything runs on this one thread.
#include <windows.h>

#include <commctrl.h>

#include "app/lifecycle.h"
#include "app/password_modes.h"
#include "app/win32/main_window.h"
#include "app/win32/password_mode.h"
#include "app/win32/password_question.h"
#include "common/guard_protocol.h"
#include "common/program_exit.h"
#include "common/shared_state.h"
#include "engine/lock_engine.h"
#include "gate/prompt_service.h"
#include "gate/win32/prompt_window.h"
#include "platform/win32/win32_crypto.h"
#include "platform/win32/win32_desktop.h"
#include "platform/win32/win32_elevation.h"
#include "platform/win32/win32_event_log.h"
#include "platform/win32/win32_guard_link.h"
#include "platform/win32/win32_message_box.h"
#include "platform/win32/win32_registry.h"
#include "platform/win32/win32_session_instance.h"
#include "platform/win32/win32_shell.h"
#include "platform/win32/win32_task_keys.h"
#include "platform/win32/win32_text.h"
#include "platform/win32/win32_text_case.h"
#include "platform/win32/win32_timer.h"
#include "platform/win32/win32_trace.h"
#include "setup/setup_window.h"
#include "setup/win32/setup_window_view.h"
#include "store/options.h"
#include "store/registry.h"
#include "store/save_request.h"
#include "store/settings.h"
#include "tray/sys_tray_module.h"
#include "tray/tray_menu.h"
#include "tray/win32/tray_menu_view.h"

namespace {

constexpr const char* kAdministratorPasswordQuestion = "Kestrel's password is needed to save these changes:";

// The program: the main window with every presenter, view and system service it works with.
class Program final : public app::win32::MainWindow, public gate::PromptHost {
public:
    Program(HINSTANCE instance, platform::win32::Win32SessionInstance& sessionInstance)
        : MainWindow(instance), m_instance(instance), m_sessionInstance(sessionInstance) {
        AcceptTaskbarCreated();
        ProgramReady();
    }
    ~Program() override { ProgramGone(); }

    int Run() {
        if (!Handle())
            return 1;
        if (m_lifecycle.Form_Load())
            m_setup.WatchStore();
        int exitCode = 0;
        while (app::win32::PumpOneMessage(Later(), exitCode)) {
        }
        return exitCode;
    }

private:
    // What the right password releases.
    void StopWatcher() override { m_engine.timerorv().SetEnabled(false); }
    void AllowGivenBack(platform::WindowId window, const std::string& allowKey, const std::string& title) override {
        m_engine.Allow(window, allowKey, title);
    }
    void DeleteTrayIcon() override { m_trayIcon.DeleteTrayIcon(); }
    void ShowSetupWindow(const std::string& password) override { m_setup.Show(password); }
    std::optional<std::string> ConfirmExit(const std::string& password) override {
        const auto answer = common::AskGuard(m_guard, {common::GuardVerb::Exit, password, {}});
        if (!answer || answer->answer == common::GuardAnswer::Done)
            return std::nullopt; // no guard keeps this copy, or it grants the exit
        if (answer->answer == common::GuardAnswer::Wait)
            return "Too many wrong passwords: wait " + std::to_string(answer->value) + " seconds.";
        return std::string(gate::kWrongPassword);
    }
    void EndProcess() override { ExitProcess(0); }

    // The shell's broadcast comes from the user's Explorer. A copy of Kestrel that runs elevated (started by
    // hand as an administrator) would not get it through the system's filter of messages from less privileged
    // processes, and would lose its icon for good when Explorer restarts.
    void AcceptTaskbarCreated() {
        if (m_taskbarCreated != 0 && Handle() &&
            !ChangeWindowMessageFilterEx(Handle(), m_taskbarCreated, MSGFLT_ALLOW, nullptr))
            platform::win32::TraceLastError("ChangeWindowMessageFilterEx");
    }

    void OnClose(app::CloseReason reason) override { m_lifecycle.Form_Unload(reason); }

    bool OnProgramMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override {
        if (msg == m_taskbarCreated && m_taskbarCreated != 0) {
            // The shell restarted and forgot every icon: put ours back, or the program has no handle left.
            if (m_lifecycle.IsFirstInstance())
                m_trayIcon.AddTrayIcon();
            result = 0;
            return true;
        }
        if (msg == WM_MOUSEMOVE && wParam == tray::kTrayIconId) {
            // The tray icon's callback: the mouse message that happened over the icon is in lParam.
            m_menu.OnIconCallback(static_cast<unsigned>(LOWORD(lParam)), m_setup.IsVisible());
            result = 0;
            return true;
        }
        if (msg == WM_COMMAND && m_menuView.HandleCommand(LOWORD(wParam))) {
            result = 0;
            return true;
        }
        if (msg == WM_COMMAND && !m_setup.IsVisible()) {
            // Any program may post a command to the hidden window; the setup window's commands are for the one
            // who opened it with the password. (The tray menu's, above, only open the password prompt.)
            result = 0;
            return true;
        }
        return m_setupView.HandleMessage(msg, wParam, lParam, result);
    }

    HINSTANCE m_instance;
    platform::win32::Win32SessionInstance& m_sessionInstance;
    platform::win32::Win32Registry m_rawRegistry;
    platform::win32::Win32Desktop m_desktop;
    platform::win32::Win32TimerFactory m_timers;
    platform::win32::Win32TaskKeys m_taskKeys;
    platform::win32::Win32Crypto m_crypto;
    platform::win32::Win32Shell m_shell;
    platform::win32::Win32MessageBoxes m_messageBoxes;
    platform::win32::Win32EventLog m_events;
    platform::win32::Win32TextCase m_textCase;
    platform::win32::Win32Elevation m_elevation;
    platform::win32::Win32GuardLink m_guard;

    store::Registry m_registry{m_rawRegistry};
    platform::win32::Win32AnsiCodePage m_ansiCodePage;
    common::SharedState m_state{m_crypto, &m_ansiCodePage};
    store::Options m_options;

    UINT m_taskbarCreated = tray::win32::TaskbarCreatedMessage();
    tray::SysTrayModule m_trayIcon{m_shell, platform::win32::ToWindowId(Handle()),
                                   static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(Icon()))};
    gate::win32::Win32PromptViewFactory m_promptViews{m_instance};
    gate::PromptService m_prompt{m_state, m_desktop, *this, m_promptViews, m_events};
    engine::LockEngine m_engine{m_registry, m_desktop, m_timers, m_state,   m_options,
                                m_prompt,   m_events,  Later(),  m_textCase};
    store::Settings m_settings{m_registry, m_state, m_options, m_taskKeys, m_trayIcon};
    setup::SetupWindow m_setup{
        m_engine,
        m_settings,
        m_options,
        m_state,
        m_registry,
        setup::SetupServices{m_shell, m_messageBoxes, m_textCase, m_crypto, m_elevation, m_timers, m_events, m_guard}};
    setup::win32::SetupWindowView m_setupView{Handle(), m_instance, m_setup};
    tray::win32::TrayMenuView m_menuView{Handle()};
    tray::TrayMenu m_menu{m_state, m_prompt, m_menuView};
    app::Lifecycle m_lifecycle{m_registry, m_sessionInstance, m_shell, m_timers, m_engine,
                               m_settings, m_prompt,          *this,   m_events};
};

// The copy started with administrator rights to save what the setup window handed over: no window, no watcher,
// no tray icon, no association, no instance check; only the store, and an exit code for the copy that waits.
int SaveAsAdministrator(HINSTANCE instance, const std::string& commandLine) {
    try {
        platform::win32::Win32Registry api;
        store::Registry registry{api};
        platform::win32::Win32Crypto crypto;
        platform::win32::Win32Elevation elevation;
        platform::win32::Win32AnsiCodePage codePage;
        // The administrator's consent is not enough: Kestrel's own password is asked for, and checked against the
        // stored hash, before anything is written.
        const auto passwordGiven = [&] {
            common::Password stored(crypto, common::Password::kIterations, &codePage);
            stored.LoadStored(
                registry.ReadValue(platform::RegRoot::LocalMachine, store::kSettingsKey, store::kPasswordValue));
            app::win32::PasswordQuestion question(instance, kAdministratorPasswordQuestion);
            return question.Ask([&](const std::string& typed) { return stored.Matches(typed); });
        };
        return static_cast<int>(store::SaveFromHandOver(commandLine, elevation, crypto, registry, passwordGiven));
    } catch (...) {
        platform::win32::TraceException("SaveAsAdministrator");
        return static_cast<int>(store::kBadHandOver);
    }
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_WIN95_CLASSES | ICC_TAB_CLASSES | ICC_LISTVIEW_CLASSES};
    if (!InitCommonControlsEx(&controls))
        platform::win32::TraceLastError("InitCommonControlsEx");
    // The wide command line: the hand-over file lies in the user's temporary folder, whose path may hold any
    // character of the user's name.
    const std::string commandLine = platform::win32::CommandLineArguments();
    if (store::IsSaveCommand(commandLine))
        return SaveAsAdministrator(instance, commandLine);
    // The installer's Set Password step, and an administrator's hash for deployment: no lock runs.
    if (const app::PasswordMode mode = app::ParsePasswordMode(commandLine); mode != app::PasswordMode::None)
        return app::win32::RunPasswordMode(instance, mode);
    // The session's lock is looked at before any window exists: a copy started by the guard while one runs ends
    // unseen, where a copy started by the user asks the running one for the setup window (by its caption).
    platform::win32::Win32SessionInstance sessionInstance;
    if (common::IsGuardedStart(commandLine) && !sessionInstance.Claim())
        return common::kExitAlreadyRunning;
    try {
        Program program(instance, sessionInstance);
        return program.Run();
    } catch (...) {
        platform::win32::TraceException("WinMain");
        return 1;
    }
}
