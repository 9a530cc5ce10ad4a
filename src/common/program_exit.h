#pragma once
#include <string_view>

namespace common {

// What the guard, the service that keeps Kestrel running in each session, reads from how kestrel.exe ends and
// tells it on its command line.

// Kestrel ended because the session ends (the system asked, or it shuts down): the guard does not start it again
// until the next sign-in. Nothing but the system's own end-of-session messages leads to it.
inline constexpr int kExitSessionEnded = 0x4B450001;

// Started by the guard while a copy already runs in the session: it ends at once, without asking the running copy
// for the setup window as a copy started by the user does.
inline constexpr int kExitAlreadyRunning = 0x4B450002;
inline constexpr std::string_view kGuardedSwitch = "/guarded";

// The command line is the guard's switch, and nothing else but blanks.
inline bool IsGuardedStart(std::string_view commandLine) {
    const auto first = commandLine.find_first_not_of(' ');
    const auto last = commandLine.find_last_not_of(' ');
    return first != std::string_view::npos && commandLine.substr(first, last - first + 1) == kGuardedSwitch;
}

} // namespace common
