// A window of a program of its own: it comes to the front with the given title (and class), then its thread sleeps
// in its message loop for the seconds given, as a hung program does, and after that it answers again until it is
// closed. Copied to a browser's file name, it stands in for that browser.
//
//   helper_hung.exe "<title>" <seconds asleep> [<window class>]
#include <windows.h>

#include <cstdlib>
#include <string>

#include "common/win32/drive.h"

int main(int argc, char** argv) {
    const std::string title = argc > 1 ? argv[1] : "Hung";
    const double seconds = argc > 2 ? std::atof(argv[2]) : 10;
    const std::string className = argc > 3 ? argv[3] : "KestrelE2EHung";
    drive::RegisterWindowClass(className, DefWindowProcW);
    HWND window =
        CreateWindowExW(0, drive::Wide(className).c_str(), drive::Wide(title).c_str(), WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                        250, 200, 420, 220, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!window)
        return 1;
    drive::BringToForeground(window, 5000, 20);
    Sleep(static_cast<DWORD>(seconds * 1000));
    for (const double end = drive::NowMs() + 60000; IsWindow(window) && drive::NowMs() < end;)
        drive::Pause(50);
    return 0;
}
