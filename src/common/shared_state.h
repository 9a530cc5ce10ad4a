#pragma once
#include <string>

#include "common/password.h"
#include "common/pending_action.h"
#include "platform/types.h"

namespace common {

// The few values that several windows share. Owned by the application object, passed by reference.
struct SharedState {
    explicit SharedState(platform::Crypto& crypto, const platform::AnsiCodePage* legacy = nullptr)
        : Password(crypto, common::Password::kIterations, legacy) {}
    explicit SharedState(common::Password password) : Password(std::move(password)) {}

    // The window the watcher hid and the prompt holds; 0 for none.
    platform::WindowId LastHiddenWindow = 0;
    // The held window's title, shown by the prompt; emptied when the prompt closes.
    std::string PendingTitle;
    // What the right password releases.
    common::PendingAction PendingAction = common::PendingAction::None;
    // Class name (or, for standard dialogs, the title) of the held window, recorded when it was hidden.
    std::string AllowKey;
    // The password in force.
    common::Password Password;
    // True only while the settings load ticks the popup box.
    bool PopupLoading = false;
};

} // namespace common
