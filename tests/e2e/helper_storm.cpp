// A program in the background that renames its window many times a second and raises the title-change event
// each time, as Windows would (Wine raises none itself): a stand-in for a busy program that is not in front.
//
//   helper_storm.exe <events per second> <seconds>
//
// Prints "raised N" when it is done.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "common/win32/drive.h"

int main(int argc, char** argv) {
    const double perSecond = argc > 1 ? std::atof(argv[1]) : 1000;
    const double seconds = argc > 2 ? std::atof(argv[2]) : 10;
    drive::RegisterWindowClass("KestrelE2EStorm", DefWindowProcW);
    HWND window = CreateWindowExA(0, "KestrelE2EStorm", "Storm 0", WS_OVERLAPPEDWINDOW, 600, 400, 300, 150, nullptr,
                                  nullptr, GetModuleHandleA(nullptr), nullptr);
    if (!window)
        return 1;
    ShowWindow(window, SW_SHOWNOACTIVATE); // behind whatever is in front
    const double start = drive::NowMs();
    long raised = 0;
    double refreshed = -1e9;
    for (double now = start; now - start < seconds * 1000; now = drive::NowMs()) {
        drive::PumpMessages();
        if (now - refreshed >= 100) { // hooks set since are reached too (see RefreshHookMask)
            drive::RefreshHookMask();
            refreshed = now;
        }
        // As many as are due by now, so that the rate holds whatever the sleeps come to.
        for (const long due = static_cast<long>((now - start) * perSecond / 1000); raised < due; ++raised) {
            SetWindowTextA(window, ("Storm " + std::to_string(raised)).c_str());
            NotifyWinEvent(EVENT_OBJECT_NAMECHANGE, window, OBJID_WINDOW, CHILDID_SELF);
        }
        Sleep(1);
    }
    std::printf("raised %ld\n", raised);
    return 0;
}
