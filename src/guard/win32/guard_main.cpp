// Kestrel Guard: the service that keeps Kestrel running in every signed-in session, checks its password and writes
// its settings; and, for the installers, the setting up and taking away of that service.
//
//   kestrel-guard.exe /install      install (or update) the service and start it
//   kestrel-guard.exe /uninstall    end every copy of Kestrel, stop and delete the service
//   kestrel-guard.exe /service      the service itself, as the service control manager starts it
#include <windows.h>

#include <string>

#include "guard/win32/guard_service.h"
#include "platform/win32/win32_shell.h"
#include "platform/win32/win32_trace.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    try {
        // The arguments come without the blanks before them; those after them are dropped too.
        std::string command = platform::win32::CommandLineArguments();
        command.erase(command.find_last_not_of(' ') + 1);
        if (command == "/install")
            return static_cast<int>(guard::win32::InstallService());
        if (command == "/uninstall")
            return static_cast<int>(guard::win32::UninstallService());
        return guard::win32::RunService();
    } catch (...) {
        platform::win32::TraceException("kestrel-guard");
        return 1;
    }
}
