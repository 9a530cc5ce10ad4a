#pragma once

namespace gate {

// Shows the one password prompt, modeless; creates it first when it does not exist, and only brings it to
// the front when it does. The caller sets the shared pending-action word before.
class PromptOpener {
public:
    virtual ~PromptOpener() = default;
    virtual void ShowPrompt() = 0;
};

} // namespace gate
