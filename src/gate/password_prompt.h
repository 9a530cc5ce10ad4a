#pragma once
#include <memory>
#include <string>

#include "common/shared_state.h"
#include "gate/prompt_host.h"
#include "gate/prompt_view.h"
#include "platform/desktop.h"
#include "platform/event_log.h"

namespace gate {

constexpr const char* kPromptCaption = "Kestrel 2004";
constexpr const char* kLoadingSuffix = " Loading...";
constexpr const char* kLoadingLabel = "Loading...";
constexpr const char* kNoTitle = "Password";
constexpr const char* kWrongPassword = "Wrong Password!";
constexpr const char* kDesktopTitle = "Program Manager"; // never asked to close
// The same note twice, spelt differently: the opening one and the one the refresh tick writes.
constexpr const char* kOpeningNote = " - Note: Password's are case sensitve and the default password is PASSAGE.";
constexpr const char* kTickNote = " - Note: Password's are case senstive and the default password is PASSAGE.";

// The password prompt `frmpassword`: every guarded act goes through it. One instance is one opening of the
// window, from creation (the opening steps run in the constructor) to its closing; a closed prompt is done
// with and the next opening builds a new one.
class PasswordPrompt final : private PromptViewEvents {
public:
    PasswordPrompt(common::SharedState& state, platform::Desktop& desktop, PromptHost& host, PromptViewFactory& views,
                   platform::EventLog& events);
    ~PasswordPrompt() override;
    PasswordPrompt(const PasswordPrompt&) = delete;
    PasswordPrompt& operator=(const PasswordPrompt&) = delete;

    // Shows it, or brings it to the front when shown already; nothing else about it changes.
    void Show();
    // The second instance's use: a "loading" notice instead of a prompt.
    void ShowAsLoadingNotice();
    // Closes it from outside (end of the loading notice), as every other way does: PendingTitle := "".
    void Unload();

    bool Closed() const { return m_closed; }
    // True while one of its handlers runs: it must not be destroyed then.
    bool InHandler() const { return m_handlerDepth > 0; }

    // The handlers, public for the view's events and for tests.
    void OKButton_Click() override;
    void CancelButton_Click() override;
    void CloseBox_Click() override;
    void Timer1_Timer() override;
    void Form_Activate() override;

private:
    void Form_Load();
    void FocusPasswordBox();
    std::string LabelText(const char* note) const;

    common::SharedState& m_state;
    platform::Desktop& m_desktop;
    PromptHost& m_host;
    platform::EventLog& m_events;
    std::unique_ptr<PromptView> m_view;
    bool m_closed = false;
    bool m_loadingNotice = false; // the box is hidden
    bool m_placed = false;        // centred once, when first shown
    int m_handlerDepth = 0;
};

} // namespace gate
