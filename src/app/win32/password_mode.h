#pragma once
#include <windows.h>

#include "app/password_modes.h"

namespace app::win32 {

// Runs /setpassword or /hash (app/password_modes.h) with the system's dialogs, console, clipboard and store; the
// process's exit code (app::PasswordExit).
int RunPasswordMode(HINSTANCE instance, app::PasswordMode mode);

} // namespace app::win32
