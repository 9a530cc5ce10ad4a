// The least a watcher of the foreground window can do, for the idle figure of scripts/bench.sh to be held against:
// once a second the foreground window, its title and the second-copy window's search, nothing else. Runs beside
// kestrel.exe for the seconds given, then ends.
//
//   bench_minimal.exe <seconds>
#include <windows.h>

#include <cstdlib>

namespace {

void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
    wchar_t title[255];
    HWND foreground = GetForegroundWindow();
    if (foreground)
        GetWindowTextW(foreground, title, 255);
    FindWindowW(nullptr, L"*** Kestrel ***");
}

} // namespace

int main(int argc, char** argv) {
    const DWORD seconds = argc > 1 ? static_cast<DWORD>(std::atoi(argv[1])) : 60;
    const UINT_PTR timer = SetTimer(nullptr, 0, 1000, &Tick);
    const DWORD end = GetTickCount() + seconds * 1000;
    MSG msg;
    while (GetTickCount() < end) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 500, QS_ALLINPUT);
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&msg);
    }
    KillTimer(nullptr, timer);
    return 0;
}
