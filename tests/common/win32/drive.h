#pragma once
// What a program needs that drives the real kestrel.exe from outside, under Wine or on Windows: handling this
// thread's messages while it waits, bringing a window of its own to the foreground, starting and ending
// kestrel.exe, and setting up Kestrel's registry keys. Shared by the e2e framework (tests/e2e/e2e_framework.h)
// and the Wine benchmark (bench/wine/bench_wine.cpp), so that both drive the program the same way.
#include <windows.h>

#include <tlhelp32.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/win32/win32_handles.h"

namespace drive {

constexpr const char* kKestrelImage = "kestrel.exe";
constexpr const char* kRunningCaption = "Kestrel 2004";
constexpr const char* kKestrelKey = "Software\\ORV\\Kestrel";
constexpr const char* kLockedItemsKey = "Software\\ORV\\Kestrel\\Locked Items";
constexpr const char* kSettingsKey = "Software\\ORV\\Kestrel\\Settings";

// ---------------------------------------------------------------------------------------------------------
// Time and messages

// Milliseconds from the performance counter: fine enough to time a lock.
inline double NowMs() {
    static const double msPerCount = [] {
        LARGE_INTEGER frequency;
        QueryPerformanceFrequency(&frequency);
        return 1000.0 / static_cast<double>(frequency.QuadPart);
    }();
    LARGE_INTEGER count;
    QueryPerformanceCounter(&count);
    return static_cast<double>(count.QuadPart) * msPerCount;
}

// Handles what is queued for this thread's windows. Kestrel hides and shows the driver's windows with
// ShowWindowAsync, which takes effect only when their thread pumps its messages.
inline void PumpMessages() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

// Waits while pumping messages.
inline void Pause(DWORD ms) {
    const double end = NowMs() + ms;
    for (;;) {
        PumpMessages();
        const double now = NowMs();
        if (now >= end)
            return;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(std::ceil(std::min(end - now, 50.0))),
                                  QS_ALLINPUT);
    }
}

// Polls cond, pumping messages in between, until it holds or timeoutMs has passed. Between two polls it waits
// up to pollMs, less when a message arrives (the message may be the change that is waited for). Returns the
// time (NowMs) at which cond first held, -1 when it did not.
inline double PollUntil(const std::function<bool()>& cond, double timeoutMs, DWORD pollMs) {
    const double end = NowMs() + timeoutMs;
    for (;;) {
        PumpMessages();
        const double now = NowMs();
        if (cond())
            return now;
        if (now > end)
            return -1;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, pollMs, QS_ALLINPUT);
    }
}

// ---------------------------------------------------------------------------------------------------------
// Windows of this process: stand-ins for the programs that Kestrel locks

// Registers a window class of this process unless it is registered already.
// Registers a class of Unicode windows (their titles hold any script; proc answers with DefWindowProcW), once.
inline void RegisterWindowClass(const std::string& className, WNDPROC proc) {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    const std::wstring name(className.begin(), className.end()); // class names here are ASCII
    WNDCLASSW existing{};
    if (GetClassInfoW(instance, name.c_str(), &existing))
        return;
    WNDCLASSW wc{};
    wc.lpfnWndProc = proc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = name.c_str();
    RegisterClassW(&wc);
}

// UTF-8 (the tests' texts) and the system's UTF-16.
inline std::wstring Wide(const std::string& utf8) {
    std::wstring wide(utf8.size() + 1, L'\0');
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(),
                                      static_cast<int>(wide.size()));
    wide.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    return wide;
}
inline std::string Utf8(const wchar_t* wide, int length) {
    std::string utf8(static_cast<std::size_t>(length) * 3 + 1, '\0');
    const int n =
        WideCharToMultiByte(CP_UTF8, 0, wide, length, utf8.data(), static_cast<int>(utf8.size()), nullptr, nullptr);
    utf8.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    return utf8;
}

// Brings a window of this process to the foreground and waits until the system agrees.
inline bool BringToForeground(HWND window, double timeoutMs, DWORD pollMs) {
    return PollUntil(
               [window] {
                   if (GetForegroundWindow() == window)
                       return true;
                   ShowWindow(window, SW_SHOW);
                   SetForegroundWindow(window);
                   return GetForegroundWindow() == window;
               },
               timeoutMs, pollMs) >= 0;
}

// Wine keeps in each thread a mask of the hooks that may want its events, and refreshes it only when the thread
// sets or removes a hook of its own: a thread that was running before kestrel.exe hooked would raise its events
// to no one. Setting and removing a hook at once refreshes the mask.
inline void RefreshHookMask() {
    const HWINEVENTHOOK probe = SetWinEventHook(
        EVENT_MIN, EVENT_MIN, nullptr, [](HWINEVENTHOOK, DWORD, HWND, LONG, LONG, DWORD, DWORD) {},
        GetCurrentProcessId(), 0, WINEVENT_OUTOFCONTEXT);
    if (probe)
        UnhookWinEvent(probe);
}

// Raises a win-event about one of this process's windows (EVENT_SYSTEM_FOREGROUND after bringing it forward,
// EVENT_OBJECT_NAMECHANGE after changing its title) the way Windows raises it: Wine 8 raises neither itself, but
// delivers what a program raises to the other processes' out-of-context hooks.
inline void RaiseWinEvent(DWORD event, HWND window) {
    RefreshHookMask();
    NotifyWinEvent(event, window, OBJID_WINDOW, CHILDID_SELF);
}

// ---------------------------------------------------------------------------------------------------------
// Registry

// Kestrel's store (the keys under Software\ORV in HKLM) lives in the 32-bit view of the registry, under
// Software\WOW6432Node in a 64-bit prefix; every other key is looked at in the native view.
inline REGSAM ViewOf(HKEY root, const std::string& path) {
    const bool inStore = root == HKEY_LOCAL_MACHINE && _strnicmp(path.c_str(), "Software\\ORV", 12) == 0;
    return inStore ? KEY_WOW64_32KEY : 0;
}

inline void DeleteTree(HKEY root, const std::string& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_ALL_ACCESS | ViewOf(root, path), &key) == ERROR_SUCCESS) {
        const platform::win32::UniqueHkey owned(key);
        RegDeleteTreeA(key, nullptr);
    }
    RegDeleteKeyExA(root, path.c_str(), ViewOf(root, path), 0);
}

// The key, created if needed and opened for everything; empty on failure.
inline platform::win32::UniqueHkey CreateKeyForWriting(HKEY root, const std::string& path) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | ViewOf(root, path), nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return {};
    return platform::win32::UniqueHkey(key);
}

inline bool CreateKey(HKEY root, const std::string& path) {
    return CreateKeyForWriting(root, path) != nullptr;
}

// Creates the key if needed and stores exactly the given bytes with the given type.
inline bool WriteRaw(HKEY root, const std::string& path, const std::string& name, DWORD type, const void* data,
                     DWORD size) {
    const platform::win32::UniqueHkey key = CreateKeyForWriting(root, path);
    return key &&
           RegSetValueExA(key.get(), name.c_str(), 0, type, static_cast<const BYTE*>(data), size) == ERROR_SUCCESS;
}

// A REG_SZ as the program stores it (no terminating NUL), or as other programs do (withNul).
// RegSetValueExA counts a NUL that directly follows the given bytes as if the caller had forgotten it (Windows
// and Wine alike), so the bytes handed over are followed by a non-NUL guard when no NUL is wanted.
inline bool WriteString(HKEY root, const std::string& path, const std::string& name, const std::string& text,
                        bool withNul = false) {
    std::string buffer = text;
    buffer.push_back(withNul ? '\0' : '#');
    return WriteRaw(root, path, name, REG_SZ, buffer.data(), static_cast<DWORD>(text.size() + (withNul ? 1 : 0)));
}

// Replaces the stored locked items with exactly these values (name, data), as REG_SZ without NUL.
inline bool SetLockedItems(const std::vector<std::pair<std::string, std::string>>& values) {
    DeleteTree(HKEY_LOCAL_MACHINE, kLockedItemsKey);
    bool ok = CreateKey(HKEY_LOCAL_MACHINE, kLockedItemsKey);
    for (const auto& [name, data] : values)
        ok = WriteString(HKEY_LOCAL_MACHINE, kLockedItemsKey, name, data) && ok;
    return ok;
}

// ---------------------------------------------------------------------------------------------------------
// kestrel.exe

// The folder of this program, with a trailing backslash. kestrel.exe is built into the same folder.
inline std::string ExeDir() {
    char path[MAX_PATH] = {};
    DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string s(path, n);
    return s.substr(0, s.find_last_of("\\/") + 1);
}

inline std::string KestrelPath() {
    return ExeDir() + kKestrelImage;
}

inline bool SameText(const char* a, const char* b) {
    return lstrcmpiA(a, b) == 0;
}

// Ids of the running kestrel.exe processes and of everything they started.
inline std::vector<DWORD> KestrelProcessTree() {
    std::vector<std::pair<DWORD, DWORD>> all; // (pid, parent)
    std::set<DWORD> tree;
    const platform::win32::UniqueHandle snap(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snap || snap.get() == INVALID_HANDLE_VALUE)
        return {};
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snap.get(), &entry); more; more = Process32Next(snap.get(), &entry)) {
        all.emplace_back(entry.th32ProcessID, entry.th32ParentProcessID);
        if (SameText(entry.szExeFile, kKestrelImage))
            tree.insert(entry.th32ProcessID);
    }
    const DWORD self = GetCurrentProcessId();
    for (bool grew = true; grew;) {
        grew = false;
        for (const auto& [pid, parent] : all)
            if (pid != self && tree.count(parent) && tree.insert(pid).second)
                grew = true;
    }
    return {tree.begin(), tree.end()};
}

// Ends every kestrel.exe (and what it started) and waits until they are gone.
inline void KillKestrel() {
    for (int round = 0; round < 5; ++round) {
        std::vector<DWORD> pids = KestrelProcessTree();
        if (pids.empty())
            return;
        for (DWORD pid : pids) {
            const platform::win32::UniqueHandle process(OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid));
            if (!process)
                continue;
            TerminateProcess(process.get(), 1);
            WaitForSingleObject(process.get(), 5000);
        }
    }
}

struct KestrelProcess {
    platform::win32::UniqueHandle process;
    DWORD pid = 0;
    DWORD thread = 0; // its main thread, the one with the windows
};

// Starts the kestrel.exe beside this program in the background, in its folder; an empty process on failure.
// wineDebug: Wine's debug channels for it (WINEDEBUG), which write to the standard error it inherits.
inline KestrelProcess StartKestrelProcess(const char* wineDebug = nullptr) {
    const std::string exe = KestrelPath();
    std::string commandLine = "\"" + exe + "\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    // The child takes its environment from ours: set for the start, then as it was.
    char before[256] = {};
    const DWORD hadDebug = GetEnvironmentVariableA("WINEDEBUG", before, sizeof before);
    if (wineDebug)
        SetEnvironmentVariableA("WINEDEBUG", wineDebug);
    PROCESS_INFORMATION info{};
    const BOOL started = CreateProcessA(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                        ExeDir().c_str(), &startup, &info);
    if (wineDebug)
        SetEnvironmentVariableA("WINEDEBUG", hadDebug > 0 && hadDebug < sizeof before ? before : nullptr);
    if (!started)
        return {};
    const platform::win32::UniqueHandle thread(info.hThread);
    return {platform::win32::UniqueHandle(info.hProcess), info.dwProcessId, info.dwThreadId};
}

} // namespace drive
