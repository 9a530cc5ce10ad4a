#pragma once

namespace common {

// What the right password releases: the watcher's held window (None: the word was empty), the setup window, or
// the way out. The tray menu and the watcher write it, the password prompt acts on it.
enum class PendingAction { None, Setup, Exit };

} // namespace common
