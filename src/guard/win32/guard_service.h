#pragma once
#include <windows.h>

namespace guard::win32 {

inline constexpr const wchar_t* kDisplayName = L"Kestrel Guard";
inline constexpr const wchar_t* kDescription =
    L"Keeps Kestrel running in every signed-in session, checks its password and saves its settings.";

// A control of the service's own (128-255): end every copy of Kestrel, then stop. The uninstaller sends it; only
// administrators may, since the service's rules give signed-in users no user-defined controls.
inline constexpr DWORD kControlEndCopies = 200;

// Runs the service (the program started by the service control manager); returns the process's exit code. A start
// by hand is told that the program is a service.
int RunService();

// Installs the service for this program (or brings an installed one up to date) and starts it: 0 or the error.
DWORD InstallService();
// Ends every copy of Kestrel, stops and deletes the service: 0 or the error. No service is no failure.
DWORD UninstallService();

} // namespace guard::win32
