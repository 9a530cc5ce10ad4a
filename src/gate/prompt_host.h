#pragma once
#include <string>

namespace gate {

// What the password prompt asks of the rest of the program when the right password is given.
class PromptHost {
public:
    virtual ~PromptHost() = default;
    virtual void StopWatcher() = 0;                           // Exit: timerorv off
    virtual void AllowClass(const std::string& allowKey) = 0; // the held window: append AllowKey to ListAllow
    virtual void DeleteTrayIcon() = 0;                        // Exit
    virtual void ShowSetupWindow() = 0;                       // Setup
    virtual void EndProcess() = 0;                            // Exit: at once, no closing handlers
};

} // namespace gate
