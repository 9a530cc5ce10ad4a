// A program that stops answering, as a hung program does: its window comes to the front with the given title, then
// its thread sleeps in its message loop for a while, and after that it answers again until it is closed.
//
//   helper_hung.exe "<title>" <seconds asleep>
#include <windows.h>

#include <cstdlib>

#include "common/win32/drive.h"

int main(int argc, char** argv) {
    const char* title = argc > 1 ? argv[1] : "Hung";
    const double seconds = argc > 2 ? std::atof(argv[2]) : 10;
    drive::RegisterWindowClass("KestrelE2EHung", DefWindowProcA);
    HWND window = CreateWindowExA(0, "KestrelE2EHung", title, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 250, 200, 420, 220,
                                  nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    if (!window)
        return 1;
    drive::BringToForeground(window, 5000, 20);
    Sleep(static_cast<DWORD>(seconds * 1000));
    for (const double end = drive::NowMs() + 30000; IsWindow(window) && drive::NowMs() < end;)
        drive::Pause(50);
    return 0;
}
