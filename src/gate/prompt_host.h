#pragma once
#include <string>

namespace gate {

// What the password prompt asks of the rest of the program when the right password is given.
class PromptHost {
public:
    virtual ~PromptHost() = default;
    virtual void StopWatcher() = 0;                           // "exit": timerorv off
    virtual void AllowClass(const std::string& allowKey) = 0; // "": append AllowKey to ListAllow
    virtual void DeleteTrayIcon() = 0;                        // "exit"
    virtual void ShowSetupWindow() = 0;                       // "setup"
    virtual void EndProcess() = 0;                            // "exit": at once, no closing handlers
};

} // namespace gate
