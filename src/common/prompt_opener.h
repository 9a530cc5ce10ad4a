#pragma once

namespace common {

// Shows the one password prompt, modeless; creates it first when it does not exist, and only brings it to
// the front when it does. The caller sets the shared pending-action word before.
class PromptOpener {
public:
    virtual ~PromptOpener() = default;
    virtual void ShowPrompt() = 0;
};

// The second-instance use of the password prompt: a short "Loading..." notice instead of a prompt.
class LoadingNotice {
public:
    virtual ~LoadingNotice() = default;
    virtual void ShowLoadingNotice() = 0;
    virtual void CloseNotice() = 0;
};

} // namespace common
