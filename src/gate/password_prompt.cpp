#include "gate/password_prompt.h"

#include "common/secure_wipe.h"

namespace gate {
namespace {

// Marks a handler as running, so that its prompt is not destroyed under it (the view may close the
// window from inside the handler; the prompt object itself is kept until the handler has returned).
class HandlerScope {
public:
    explicit HandlerScope(int& depth) : m_depth(depth) { ++m_depth; }
    ~HandlerScope() { --m_depth; }
    HandlerScope(const HandlerScope&) = delete;
    HandlerScope& operator=(const HandlerScope&) = delete;

private:
    int& m_depth;
};

} // namespace

PasswordPrompt::PasswordPrompt(common::SharedState& state, platform::Desktop& desktop, PromptHost& host,
                               PromptViewFactory& views, platform::EventLog& events)
    : m_state(state), m_desktop(desktop), m_host(host), m_events(events), m_view(views.CreatePromptView(*this)) {
    Form_Load();
}

PasswordPrompt::~PasswordPrompt() {
    if (!m_closed && m_view)
        m_view->Close();
}

void PasswordPrompt::Form_Load() {
    if (!m_view)
        return;
    m_view->MakeTopmost();
    m_view->SetCaption(kPromptCaption);
    if (m_state.PendingTitle.empty())
        m_state.PendingTitle = kNoTitle;
    m_view->SetLabel(LabelText(kOpeningNote));
}

std::string PasswordPrompt::LabelText(const char* note) const {
    return m_state.Password.IsDefault() ? m_state.PendingTitle + note : m_state.PendingTitle;
}

void PasswordPrompt::Show() {
    if (m_closed || !m_view)
        return;
    // Whoever starts typing as soon as they see the prompt types into its box. Windows may refuse the foreground
    // to a program in the background: the keys then still go to the program in front, and a flashing prompt
    // tells the user to click it first.
    // Where the user looks: on the monitor of the window it holds, the first time it shows.
    if (!m_placed) {
        m_placed = true;
        m_view->CentreOn(m_state.LastHiddenWindow);
    }
    const bool inFront = m_view->Show();
    FocusPasswordBox();
    if (!inFront)
        m_view->Flash();
}

void PasswordPrompt::Form_Activate() {
    if (m_closed || !m_view)
        return;
    HandlerScope scope(m_handlerDepth);
    // Whichever way the prompt comes to the front, typing goes into the box, not to a button.
    FocusPasswordBox();
}

void PasswordPrompt::FocusPasswordBox() {
    if (!m_loadingNotice)
        m_view->FocusControl(PromptControl::txtpassword);
}

void PasswordPrompt::ShowAsLoadingNotice() {
    if (m_closed || !m_view)
        return;
    m_loadingNotice = true;
    m_view->SetCaption(std::string(kPromptCaption) + kLoadingSuffix);
    m_view->HideControl(PromptControl::CancelButton);
    m_view->HideControl(PromptControl::OKButton);
    m_view->HideControl(PromptControl::txtpassword);
    m_view->SetLabel(kLoadingLabel);
    // The notice goes by itself and takes no typing: it does not flash when it is left in the background.
    m_view->Show();
}

void PasswordPrompt::Unload() {
    if (m_closed)
        return;
    m_closed = true;
    m_state.PendingTitle.clear();
    if (m_view)
        m_view->Close();
}

void PasswordPrompt::Timer1_Timer() {
    if (m_closed || !m_view)
        return;
    HandlerScope scope(m_handlerDepth);
    // Also what takes "Wrong Password!" away again and follows a new held window or a new password.
    m_view->SetLabel(LabelText(kTickNote));
}

void PasswordPrompt::OKButton_Click() {
    if (m_closed || !m_view)
        return;
    HandlerScope scope(m_handlerDepth);

    // The typed text goes where the password is checked again, wiped whichever way the handler leaves.
    struct Typed {
        std::string text;
        ~Typed() { common::WipeString(text); }
    } typed{m_view->PasswordText()};
    const bool right = m_state.Password.Matches(typed.text);
    if (!right) {
        // Nothing else changes: the text stays in the box and the word and the held window stay. Checking a
        // hashed password can take most of a second; the tick that fell due meanwhile must not wipe the answer
        // before it has been seen, so the period starts again here.
        m_view->SetLabel(kWrongPassword);
        m_view->RestartRefreshTimer();
        m_events.Report(platform::EventKind::WrongPassword);
        return;
    }

    // The word as it is now: a watcher hide or a tray command since the opening has overwritten it.
    const common::PendingAction action = m_state.PendingAction;
    if (action != common::PendingAction::None && m_state.LastHiddenWindow != 0) {
        // The held window is about to be forgotten, and a window nobody holds would stay hidden until logoff,
        // unsaved work and all. It comes back behind what the password opens; its class is not allowed, so the
        // watcher locks it again when it next comes to the front.
        m_desktop.ShowWindowNoActivate(m_state.LastHiddenWindow);
    }
    if (action == common::PendingAction::Exit) {
        // Where a guard keeps Kestrel running, it decides: it checks the password against the stored one itself.
        if (const std::optional<std::string> refusal = m_host.ConfirmExit(typed.text)) {
            m_view->SetLabel(*refusal);
            m_view->RestartRefreshTimer();
            return;
        }
        // Reported before the process ends: nothing runs after EndProcess.
        m_events.Report(platform::EventKind::ExitedThroughExit);
        m_state.PendingAction = common::PendingAction::None;
        m_host.StopWatcher();
        m_state.LastHiddenWindow = 0;
        m_host.DeleteTrayIcon();
        Unload();
        m_host.EndProcess();
    } else if (action == common::PendingAction::Setup) {
        m_state.PendingAction = common::PendingAction::None;
        m_events.Report(platform::EventKind::SetupOpened);
        m_host.ShowSetupWindow(typed.text);
        m_state.LastHiddenWindow = 0;
        Unload();
    } else {
        if (m_state.LastHiddenWindow != 0) {
            m_desktop.ShowWindowNormal(m_state.LastHiddenWindow);
            m_events.Report(platform::EventKind::WindowGivenBack, {m_state.PendingTitle});
        }
        m_host.AllowGivenBack(m_state.LastHiddenWindow, m_state.AllowKey, m_state.PendingTitle);
        m_state.LastHiddenWindow = 0;
        Unload();
    }
}

void PasswordPrompt::CancelButton_Click() {
    if (m_closed || !m_view)
        return;
    HandlerScope scope(m_handlerDepth);
    // Asking the desktop window to close would offer to shut Windows down.
    if (m_state.PendingTitle != kDesktopTitle && m_state.LastHiddenWindow != 0)
        m_desktop.PostClose(m_state.LastHiddenWindow);
    m_state.PendingAction = common::PendingAction::None;
    // LastHiddenWindow stays: the watcher closes it if it hides another window first.
    Unload();
}

void PasswordPrompt::CloseBox_Click() {
    if (m_closed)
        return;
    HandlerScope scope(m_handlerDepth);
    // Only the title goes: the word and the held window stay, and the window stays hidden.
    Unload();
}

} // namespace gate
