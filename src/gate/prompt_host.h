#pragma once
#include <optional>
#include <string>

#include "platform/types.h"

namespace gate {

// What the password prompt asks of the rest of the program when the right password is given.
class PromptHost {
public:
    virtual ~PromptHost() = default;
    virtual void StopWatcher() = 0; // Exit: timerorv off
    // The held window was given back: it (by its AllowKey, or by itself with its title) passes from now on.
    virtual void AllowGivenBack(platform::WindowId window, const std::string& allowKey, const std::string& title) = 0;
    virtual void DeleteTrayIcon() = 0; // Exit
    // Setup; the password that opened it, for saving through the guard while the window is open.
    virtual void ShowSetupWindow(const std::string& password) = 0;
    // Exit, before anything of it is done: nullopt when the process may end, else what the prompt shows instead
    // (a guard that runs did not accept the password).
    virtual std::optional<std::string> ConfirmExit(const std::string& password) = 0;
    virtual void EndProcess() = 0; // Exit: at once, no closing handlers
};

} // namespace gate
