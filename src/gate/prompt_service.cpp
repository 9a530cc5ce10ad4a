#include "gate/prompt_service.h"

#include <algorithm>

namespace gate {

PromptService::PromptService(common::SharedState& state, platform::Desktop& desktop, PromptHost& host,
                             PromptViewFactory& views, platform::EventLog& events)
    : m_state(state), m_desktop(desktop), m_host(host), m_views(views), m_events(events) {}

PromptService::~PromptService() = default;

void PromptService::DropClosed() {
    if (m_prompt && m_prompt->Closed())
        m_closed.push_back(std::move(m_prompt));
    std::erase_if(m_closed, [](const std::unique_ptr<PasswordPrompt>& p) { return !p->InHandler(); });
}

PasswordPrompt& PromptService::OpenOrCreate() {
    DropClosed();
    if (!m_prompt)
        m_prompt = std::make_unique<PasswordPrompt>(m_state, m_desktop, m_host, m_views, m_events);
    return *m_prompt;
}

void PromptService::ShowPrompt() {
    OpenOrCreate().Show();
}

void PromptService::ShowLoadingNotice() {
    OpenOrCreate().ShowAsLoadingNotice();
}

void PromptService::ClosePrompt() {
    if (m_prompt)
        m_prompt->Unload();
    DropClosed();
}

} // namespace gate
