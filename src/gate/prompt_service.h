#pragma once
#include <memory>
#include <vector>

#include "common/prompt_opener.h"
#include "common/shared_state.h"
#include "gate/password_prompt.h"
#include "gate/prompt_host.h"
#include "gate/prompt_view.h"
#include "platform/desktop.h"

namespace gate {

// The one password prompt of the program, shared by every opener: the watcher, the tray menu and the
// second-instance check. Opening it while it is open only brings it to the front; after it closes, the next
// opening builds a fresh one with an empty box.
class PromptService final : public common::PromptOpener, public common::LoadingNotice {
public:
    PromptService(common::SharedState& state, platform::Desktop& desktop, PromptHost& host, PromptViewFactory& views,
                  platform::EventLog& events);
    ~PromptService() override;
    PromptService(const PromptService&) = delete;
    PromptService& operator=(const PromptService&) = delete;

    void ShowPrompt() override;
    // The second instance's "Loading..." notice (creates the prompt, then shows it as a notice).
    void ShowLoadingNotice() override;
    void CloseNotice() override { ClosePrompt(); }
    // Closes the prompt the way every closing does (PendingTitle := ""); nothing when none is open.
    void ClosePrompt();
    bool IsOpen() const { return m_prompt && !m_prompt->Closed(); }

private:
    PasswordPrompt& OpenOrCreate();
    // Frees closed prompts whose handlers have returned.
    void DropClosed();

    common::SharedState& m_state;
    platform::Desktop& m_desktop;
    PromptHost& m_host;
    PromptViewFactory& m_views;
    platform::EventLog& m_events;
    std::unique_ptr<PasswordPrompt> m_prompt;
    // Closed prompts that were still inside a handler when a new one was needed.
    std::vector<std::unique_ptr<PasswordPrompt>> m_closed;
};

} // namespace gate
