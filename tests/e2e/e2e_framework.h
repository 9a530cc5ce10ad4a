#pragma once
// A small end-to-end test framework for programs that drive the real kestrel.exe under Wine (or Windows).
//
//     E2E_TEST(LockedWindowIsHidden) {
//         e2e::SetLockedItems({{"Item0", "Crime,1"}});
//         DWORD pid = e2e::StartKestrelAndWait();
//         HWND w = e2e::CreateTestWindow("Crime Stories - Browser");
//         E2E_REQUIRE(e2e::WaitUntil([&] { return !IsWindowVisible(w); }), "window was not hidden");
//     }
//     E2E_MAIN()
//
// Every test starts and ends with no kestrel.exe running and its test windows gone; before it starts, the
// program's registry keys are deleted. Each test prints one line, "PASS <name>" or "FAIL <name>: <why>", which
// scripts/e2e.sh counts. E2E_CHECK records a failure and goes on; E2E_REQUIRE also ends the test.
// A failing test leaves a screenshot of the desktop in build/e2e-artifacts/.
// Waiting, starting and ending kestrel.exe and the registry set-up come from common/win32/drive.h, which the
// Wine benchmark shares.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <exception>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "common/password.h"
#include "common/win32/drive.h"
#include "platform/win32/win32_crypto.h"
#include "platform/win32/win32_handles.h"

namespace e2e {

// Generous by default: the machines that run these are slow and shared; a test never asserts speed.
constexpr DWORD kDefaultWaitMs = 10000;
// How often a wait looks again when no message wakes it earlier.
constexpr DWORD kPollMs = 50;
using drive::kKestrelImage;
using drive::kKestrelKey;
using drive::kLockedItemsKey;
using drive::kRunningCaption;
using drive::kSettingsKey;

// ---------------------------------------------------------------------------------------------------------
// Registration, checks and the runner

struct TestCase {
    const char* name;
    void (*body)();
};

inline std::vector<TestCase>& AllTests() {
    static std::vector<TestCase> tests;
    return tests;
}

struct Registrar {
    Registrar(const char* name, void (*body)()) { AllTests().push_back({name, body}); }
};

// Thrown by E2E_REQUIRE to leave the current test; caught by the runner only.
struct TestAborted {};

inline std::vector<std::string>& CurrentFailures() {
    static std::vector<std::string> failures;
    return failures;
}

inline void RecordFailure(const char* file, int line, const std::string& why) {
    const char* base = std::max(std::strrchr(file, '/'), std::strrchr(file, '\\'));
    std::string where = std::string(base ? base + 1 : file) + ":" + std::to_string(line);
    // One result per line, all of it printable: the harness reads stdout line by line, and a NUL in a
    // registry value would end the line early.
    std::string text = where + ": ";
    for (unsigned char c : why) {
        if (c >= 0x20) {
            text += static_cast<char>(c);
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
            text += escaped;
        }
    }
    CurrentFailures().push_back(text);
}

#define E2E_TEST(Name)                                                                                                 \
    static void Name();                                                                                                \
    static const ::e2e::Registrar Name##Registrar(#Name, &Name);                                                       \
    static void Name()

#define E2E_CHECK(cond, why) ((cond) ? true : (::e2e::RecordFailure(__FILE__, __LINE__, (why)), false))

#define E2E_REQUIRE(cond, why)                                                                                         \
    do {                                                                                                               \
        if (!E2E_CHECK(cond, why))                                                                                     \
            throw ::e2e::TestAborted{};                                                                                \
    } while (0)

#define E2E_MAIN()                                                                                                     \
    int main(int argc, char** argv) {                                                                                  \
        return ::e2e::RunAll(argc, argv);                                                                              \
    }

// ---------------------------------------------------------------------------------------------------------
// Time and messages

using drive::Pause;
using drive::PumpMessages;

// Polls cond (pumping messages in between) until it holds or timeoutMs has passed; returns its last value.
inline bool WaitUntil(const std::function<bool()>& cond, DWORD timeoutMs = kDefaultWaitMs) {
    return drive::PollUntil(cond, timeoutMs, kPollMs) >= 0;
}

// Holds cond for the whole period (e.g. "stays visible for three watcher ticks"); false at the first miss.
inline bool StaysTrue(const std::function<bool()>& cond, DWORD periodMs) {
    const ULONGLONG end = GetTickCount64() + periodMs;
    do {
        PumpMessages();
        if (!cond())
            return false;
        Pause(50);
    } while (GetTickCount64() < end);
    return cond();
}

// ---------------------------------------------------------------------------------------------------------
// Paths

using drive::ExeDir;

inline std::string ProgramName() {
    char path[MAX_PATH] = {};
    DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string s(path, n);
    s = s.substr(s.find_last_of("\\/") + 1);
    return s.substr(0, s.rfind('.'));
}

// build/e2e-artifacts, next to the build folder of the program.
inline std::string ArtifactDir() {
    std::string dir = ExeDir() + "..\\e2e-artifacts\\";
    CreateDirectoryA(dir.c_str(), nullptr);
    return dir;
}

// ---------------------------------------------------------------------------------------------------------
// Registry, with exact bytes

struct RawValue {
    bool exists = false;
    DWORD type = 0;
    std::vector<BYTE> data;
};

using drive::ViewOf;

inline bool KeyExists(HKEY root, const std::string& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ | ViewOf(root, path), &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

using drive::CreateKey;
using drive::DeleteTree;
using drive::SetLockedItems;
using drive::WriteRaw;
using drive::WriteString;

inline bool WriteDword(HKEY root, const std::string& path, const std::string& name, DWORD value) {
    return WriteRaw(root, path, name, REG_DWORD, &value, sizeof value);
}

inline RawValue ReadRaw(HKEY root, const std::string& path, const std::string& name) {
    RawValue value;
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_QUERY_VALUE | ViewOf(root, path), &key) != ERROR_SUCCESS)
        return value;
    DWORD size = 0;
    if (RegQueryValueExA(key, name.c_str(), nullptr, &value.type, nullptr, &size) == ERROR_SUCCESS) {
        value.data.resize(size);
        if (RegQueryValueExA(key, name.c_str(), nullptr, &value.type, value.data.data(), &size) == ERROR_SUCCESS) {
            value.data.resize(size);
            value.exists = true;
        }
    }
    RegCloseKey(key);
    return value;
}

// A string value as a program of today reads it: in UTF-16 (given here as UTF-8), without a NUL at its end.
inline std::optional<std::string> ReadText(HKEY root, const std::string& path, const std::string& name) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_QUERY_VALUE | ViewOf(root, path), &key) != ERROR_SUCCESS)
        return std::nullopt;
    std::vector<wchar_t> data(4096, L'\0');
    DWORD size = static_cast<DWORD>(data.size() * sizeof(wchar_t));
    DWORD type = 0;
    const LONG status =
        RegQueryValueExW(key, drive::Wide(name).c_str(), nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS || type != REG_SZ)
        return std::nullopt;
    int length = static_cast<int>(size / sizeof(wchar_t));
    if (length > 0 && data[static_cast<std::size_t>(length) - 1] == L'\0')
        --length;
    return drive::Utf8(data.data(), length);
}

// "0C 00 00 00", for failure messages.
inline std::string Hex(const std::vector<BYTE>& data) {
    std::string out;
    char buf[4];
    for (BYTE b : data) {
        std::snprintf(buf, sizeof buf, "%02X ", b);
        out += buf;
    }
    if (!out.empty())
        out.pop_back();
    return out;
}

// The state every test starts from: no items, no settings, no file-type association.
inline void ResetRegistry() {
    DeleteTree(HKEY_LOCAL_MACHINE, kLockedItemsKey);
    DeleteTree(HKEY_LOCAL_MACHINE, kSettingsKey);
    DeleteTree(HKEY_CLASSES_ROOT, ".loc");
    DeleteTree(HKEY_CLASSES_ROOT, "ORV.Document");
}

// ---------------------------------------------------------------------------------------------------------
// Processes

using drive::KestrelProcessTree;
using drive::KillKestrel;
using drive::SameText;

inline bool IsRunning(DWORD pid) {
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, pid);
    if (!process)
        return false;
    bool running = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
    CloseHandle(process);
    return running;
}

// build/windows/kestrel.exe: the program under test is built next to the test programs.
using drive::KestrelPath;

inline bool KestrelBuilt() {
    return GetFileAttributesA(KestrelPath().c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Starts build/windows/kestrel.exe in the background; returns its process id, 0 on failure.
inline DWORD StartKestrel() {
    return drive::StartKestrelProcess().pid;
}

// ---------------------------------------------------------------------------------------------------------
// Windows of other processes

// Texts in and out are UTF-8, through the wide calls: windows and controls may hold any script.
inline std::string WindowText(HWND window) {
    wchar_t buf[1024] = {};
    int n = GetWindowTextW(window, buf, 1024);
    return drive::Utf8(buf, n > 0 ? n : 0);
}

inline std::string ClassName(HWND window) {
    char buf[300] = {};
    int n = GetClassNameA(window, buf, sizeof buf);
    return std::string(buf, n > 0 ? n : 0);
}

// The text of a control of another process: asked with WM_GETTEXT (GetWindowText does not ask other
// processes' controls), with a timeout so a hung program cannot stall the test.
inline std::string ControlText(HWND control) {
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(control, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &length))
        return "";
    std::vector<wchar_t> buf(length + 1, L'\0');
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutW(control, WM_GETTEXT, buf.size(), reinterpret_cast<LPARAM>(buf.data()), SMTO_ABORTIFHUNG,
                             5000, &copied))
        return "";
    return drive::Utf8(buf.data(), static_cast<int>(std::min<std::size_t>(copied, length)));
}

inline bool SetText(HWND control, const std::string& text) {
    DWORD_PTR result = 0;
    const std::wstring wide = drive::Wide(text);
    return SendMessageTimeoutW(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide.c_str()), SMTO_ABORTIFHUNG, 5000,
                               &result) != 0;
}

// Posted, not sent: a click that opens a modal dialog must not block the test.
inline bool Click(HWND button) {
    return PostMessageA(button, BM_CLICK, 0, 0) != 0;
}

inline bool PostCommand(HWND window, WORD id, WORD code = BN_CLICKED, HWND control = nullptr) {
    return PostMessageA(window, WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(control)) != 0;
}

// Top-level windows of a process (pid 0: of every kestrel.exe), optionally only the visible ones.
inline std::vector<HWND> TopWindowsOf(DWORD pid, bool visibleOnly = false) {
    struct Query {
        std::set<DWORD> pids;
        bool visibleOnly;
        std::vector<HWND> found;
    } query{{}, visibleOnly, {}};
    if (pid != 0) {
        query.pids.insert(pid);
    } else {
        for (DWORD p : KestrelProcessTree())
            query.pids.insert(p);
    }
    EnumWindows(
        [](HWND window, LPARAM param) -> BOOL {
            auto* q = reinterpret_cast<Query*>(param);
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            if (q->pids.count(owner) && (!q->visibleOnly || IsWindowVisible(window)))
                q->found.push_back(window);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&query));
    return query.found;
}

// The first top-level window of the process with exactly this title; nullptr when none.
inline HWND FindWindowOf(DWORD pid, const std::string& title, bool visibleOnly = false) {
    for (HWND window : TopWindowsOf(pid, visibleOnly))
        if (WindowText(window) == title)
            return window;
    return nullptr;
}

// Children of a window with the given class (case-insensitive), ordered top to bottom, then left to right.
inline std::vector<HWND> ChildrenOfClass(HWND parent, const std::string& className) {
    struct Query {
        HWND parent;
        std::string cls;
        std::vector<HWND> found;
    } query{parent, className, {}};
    EnumChildWindows(
        parent,
        [](HWND child, LPARAM param) -> BOOL {
            auto* q = reinterpret_cast<Query*>(param);
            if (GetParent(child) == q->parent && SameText(ClassName(child).c_str(), q->cls.c_str()))
                q->found.push_back(child);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&query));
    auto topLeft = [parent](HWND w) {
        RECT r{};
        GetWindowRect(w, &r);
        MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&r), 2);
        return std::make_pair(r.top, r.left);
    };
    std::stable_sort(query.found.begin(), query.found.end(), [&](HWND a, HWND b) { return topLeft(a) < topLeft(b); });
    return query.found;
}

// The index-th child of that class in reading order; nullptr when there are fewer.
inline HWND ChildOfClass(HWND parent, const std::string& className, std::size_t index = 0) {
    auto children = ChildrenOfClass(parent, className);
    return index < children.size() ? children[index] : nullptr;
}

// The child of that class that covers the point (x, y) of the parent's client area, e.g. a position from a
// layout table (pixels at 96 DPI); nullptr when none.
inline HWND ChildAt(HWND parent, const std::string& className, int x, int y) {
    for (HWND child : ChildrenOfClass(parent, className)) {
        RECT r{};
        GetWindowRect(child, &r);
        MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&r), 2);
        if (x >= r.left && x < r.right && y >= r.top && y < r.bottom)
            return child;
    }
    return nullptr;
}

// The child whose text is exactly this (a button by its caption); nullptr when none.
inline HWND ChildWithText(HWND parent, const std::string& className, const std::string& text) {
    for (HWND child : ChildrenOfClass(parent, className))
        if (ControlText(child) == text)
            return child;
    return nullptr;
}

// ---------------------------------------------------------------------------------------------------------
// Real input, as from the keyboard and mouse: xdotool on the X side (Wine starts Unix programs too), so that no
// program of the desktop is the one that "received the last input". Under Wine only.

// Runs a Unix shell script and waits until it is done; false when it could not be run or did not finish. Wine
// hands out no usable handle for a Unix program, so the script leaves a marker file when it has ended.
inline bool RunUnixScript(const std::string& script) {
    const std::string base = "/tmp/kestrel-e2e-" + std::to_string(GetCurrentProcessId());
    const std::string windowsMarker = "Z:" + base + ".done";
    const std::string windowsScript = "Z:" + base + ".sh";
    DeleteFileA(windowsMarker.c_str());
    {
        const platform::win32::UniqueHandle file(
            CreateFileA(windowsScript.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        const std::string text = script + "\ntouch " + base + ".done\n";
        DWORD written = 0;
        if (file.get() == INVALID_HANDLE_VALUE ||
            !WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr))
            return false;
    }
    std::string line = "/bin/sh " + base + ".sh";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
        return false;
    const platform::win32::UniqueHandle process(info.hProcess);
    const platform::win32::UniqueHandle thread(info.hThread);
    const bool done =
        WaitUntil([&] { return GetFileAttributesA(windowsMarker.c_str()) != INVALID_FILE_ATTRIBUTES; }, 20000);
    DeleteFileA(windowsMarker.c_str());
    DeleteFileA(windowsScript.c_str());
    return done;
}

// Runs xdotool with these arguments (e.g. "type abc", "key Tab", "mousemove 10 20 click 1") and waits until it is
// done; false when it could not be run or did not finish.
inline bool Xdotool(const std::string& arguments) {
    return RunUnixScript("/usr/bin/xdotool " + arguments);
}

// Ends every process of this Wine prefix whose Unix command line holds `pattern` (e.g. "kestrel.exe") with a Unix
// SIGKILL, which no Windows access rule stops. Other prefixes' processes on the machine are left alone.
inline bool UnixKill(const std::string& pattern) {
    char prefix[MAX_PATH] = {};
    const DWORD length = GetEnvironmentVariableA("WINEPREFIX", prefix, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return false;
    return RunUnixScript("for p in $(pgrep -f '" + pattern +
                         "'); do\n"
                         "  tr '\\0' '\\n' </proc/$p/environ 2>/dev/null | grep -qxF 'WINEPREFIX=" +
                         std::string(prefix) +
                         "' && kill -9 $p\n"
                         "done");
}

// ---------------------------------------------------------------------------------------------------------
// Test windows in this process: stand-ins for a browser, an installer, a dialog...

struct TestWindowState {
    int closeRequests = 0;
};

inline std::map<HWND, TestWindowState>& TestWindows() {
    static std::map<HWND, TestWindowState> windows;
    return windows;
}

inline LRESULT CALLBACK TestWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CLOSE) {
        auto it = TestWindows().find(window);
        if (it != TestWindows().end())
            ++it->second.closeRequests;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

// Brings a window of this process to the foreground and waits until the system agrees.
inline bool BringToForeground(HWND window, DWORD timeoutMs = kDefaultWaitMs) {
    return drive::BringToForeground(window, timeoutMs, kPollMs);
}

// Creates a visible top-level window of this process with the given title and class, in the foreground.
// A WM_CLOSE it receives is counted (CloseRequests) and then closes it as usual.
inline HWND CreateTestWindow(const std::string& title, const std::string& className = "KestrelE2EWindow",
                             bool foreground = true) {
    drive::RegisterWindowClass(className, TestWindowProc);
    const int offset = static_cast<int>(TestWindows().size() % 8) * 30;
    HWND window =
        CreateWindowExW(0, drive::Wide(className).c_str(), drive::Wide(title).c_str(), WS_OVERLAPPEDWINDOW, 60 + offset,
                        60 + offset, 480, 240, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!window)
        return nullptr;
    TestWindows()[window] = {};
    ShowWindow(window, SW_SHOW);
    UpdateWindow(window);
    if (foreground)
        BringToForeground(window);
    PumpMessages();
    return window;
}

inline int CloseRequests(HWND window) {
    auto it = TestWindows().find(window);
    return it == TestWindows().end() ? 0 : it->second.closeRequests;
}

inline void DestroyTestWindows() {
    for (auto& [window, state] : TestWindows())
        if (IsWindow(window))
            DestroyWindow(window);
    TestWindows().clear();
    PumpMessages();
}

// ---------------------------------------------------------------------------------------------------------
// Kestrel as a whole

// What a kestrel.exe reports to the event log. Under Wine, ReportEvent writes only to the debug channels, and a
// GUI program's debug output goes to the Unix standard error it inherits from the program that started it: this
// program's, which scripts/e2e.sh puts in build/e2e-artifacts/<program>.stderr and names in KESTREL_E2E_STDERR. A
// Kestrel started with StartKestrelAndWait(trace) has the channels on; each report leaves its event ID there (advapi's
// "fixme:...ReportEventW (source,type,category,id,..."), then one "trace:eventlog:ReportEventW L"<insert>"" line
// per insert (a warning's on the warn channel: "warn:eventlog:..."). Events() reads what was written after the trace
// was made.
class EventTrace {
public:
    struct Event {
        DWORD id = 0;
        std::vector<std::string> inserts;
    };
    static constexpr const char* kChannels = "-all,fixme+advapi,trace+eventlog,warn+eventlog";

    EventTrace() {
        // scripts/e2e.sh names the file, as a Unix path: Wine's drive Z: is the Unix root.
        char path[MAX_PATH] = {};
        const DWORD length = GetEnvironmentVariableA("KESTREL_E2E_STDERR", path, MAX_PATH);
        if (length == 0 || length >= MAX_PATH || path[0] != '/')
            return;
        m_path = std::string("Z:") + path;
        std::replace(m_path.begin(), m_path.end(), '/', '\\');
        LARGE_INTEGER size{};
        const platform::win32::UniqueHandle file(Open());
        if (file && GetFileSizeEx(file.get(), &size))
            m_start = size.QuadPart;
    }
    bool Available() const { return !m_path.empty(); }

    std::vector<Event> Events() const {
        std::vector<Event> events;
        const platform::win32::UniqueHandle file(Open());
        LARGE_INTEGER from{};
        from.QuadPart = m_start;
        if (!file || !SetFilePointerEx(file.get(), from, nullptr, FILE_BEGIN))
            return events;
        std::string text;
        char buffer[4096];
        DWORD got = 0;
        while (ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr) && got > 0)
            text.append(buffer, got);
        const std::string idCall = "ReportEventW (";
        const std::string insertLine = ":eventlog:ReportEventW L\"";
        std::size_t start = 0;
        while (start < text.size()) {
            std::size_t end = text.find('\n', start);
            if (end == std::string::npos)
                end = text.size();
            std::string line = text.substr(start, end - start);
            start = end + 1;
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            if (std::size_t at = line.find(insertLine); at != std::string::npos) {
                std::string insert = line.substr(at + insertLine.size());
                if (!insert.empty() && insert.back() == '"')
                    insert.pop_back();
                if (!events.empty())
                    events.back().inserts.push_back(insert);
            } else if (std::size_t call = line.find(idCall);
                       call != std::string::npos && line.find("fixme:") != std::string::npos) {
                // Source, type, category, then the message's full identifier, whose low word is the event ID.
                std::size_t field = call + idCall.size();
                for (int comma = 0; comma < 3 && field != std::string::npos; ++comma)
                    field = line.find(',', field + 1);
                if (field != std::string::npos)
                    events.push_back(
                        {static_cast<DWORD>(std::strtoul(line.c_str() + field + 1, nullptr, 16) & 0xFFFF), {}});
            }
        }
        return events;
    }

private:
    HANDLE Open() const {
        if (m_path.empty())
            return nullptr;
        HANDLE file = CreateFileA(m_path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, 0, nullptr);
        return file == INVALID_HANDLE_VALUE ? nullptr : file;
    }

    std::string m_path;
    LONGLONG m_start = 0;
};

// Starts kestrel.exe and waits until it runs as the first instance (its main window took the caption
// "Kestrel 2004"). Returns the process id, 0 when it did not get there.
inline DWORD StartKestrelAndWait(DWORD timeoutMs = 30000, const EventTrace* trace = nullptr) {
    DWORD pid = trace ? drive::StartKestrelProcess(EventTrace::kChannels).pid : StartKestrel();
    if (pid == 0)
        return 0;
    if (!WaitUntil([pid] { return FindWindowOf(pid, kRunningCaption) != nullptr; }, timeoutMs))
        return 0;
    return pid;
}
inline DWORD StartKestrelAndWait(const EventTrace& trace) {
    return StartKestrelAndWait(30000, &trace);
}

// Stores exactly these locked items (name, data), starts kestrel.exe and waits until it runs as the first
// instance; its process id. Ends the test when any of that fails.
inline DWORD StartKestrelWithItems(const std::vector<std::pair<std::string, std::string>>& items) {
    E2E_REQUIRE(KestrelBuilt(), "no " + KestrelPath());
    E2E_REQUIRE(SetLockedItems(items), "could not write the locked items");
    const DWORD pid = StartKestrelAndWait();
    E2E_REQUIRE(pid != 0, "kestrel.exe did not start as the first instance (no window \"Kestrel 2004\")");
    return pid;
}

// Its hidden main window (which becomes the setup window); nullptr when none.
inline HWND MainWindowOf(DWORD pid) {
    for (HWND window : TopWindowsOf(pid))
        if (ClassName(window) == "KestrelMainWindow")
            return window;
    return nullptr;
}

// The password prompt: the visible "Kestrel 2004" window of the process with a password box; nullptr when none
// came in time.
inline HWND WaitForPrompt(DWORD pid, DWORD timeoutMs = kDefaultWaitMs) {
    HWND prompt = nullptr;
    WaitUntil(
        [&] {
            for (HWND window : TopWindowsOf(pid, true))
                if (WindowText(window) == kRunningCaption && ChildOfClass(window, "Edit"))
                    prompt = window;
            return prompt != nullptr;
        },
        timeoutMs);
    return prompt;
}

// Types into the prompt's box and presses OK; false when the prompt lacks either.
inline bool AnswerPrompt(HWND prompt, const std::string& password) {
    return SetText(ChildOfClass(prompt, "Edit"), password) && Click(ChildWithText(prompt, "Button", "OK"));
}

// Kestrel's Set Password dialog of this process (0: of any kestrel.exe), once it shows; nullptr when none came.
inline HWND WaitForSetPassword(DWORD pid, DWORD timeoutMs = kDefaultWaitMs) {
    HWND dialog = nullptr;
    WaitUntil([&] { return (dialog = FindWindowOf(pid, "Set Password", true)) != nullptr; }, timeoutMs);
    return dialog;
}

// Types the password into both boxes of the Set Password dialog and presses OK, or Cancel; false when it lacks
// either.
inline bool AnswerSetPassword(HWND dialog, const std::string& password, const char* button = "OK") {
    const std::vector<HWND> boxes = ChildrenOfClass(dialog, "Edit");
    return boxes.size() == 2 && SetText(boxes[0], password) && SetText(boxes[1], password) &&
           Click(ChildWithText(dialog, "Button", button));
}

// Whether Auth1 holds the hash of exactly this password, checked as Kestrel checks it. A plain text there is no
// password of ours: it is not taken.
inline bool StoredPasswordIs(const std::string& password) {
    const std::optional<std::string> stored = ReadText(HKEY_LOCAL_MACHINE, kSettingsKey, "Auth1");
    if (!stored || !common::Password::Parse(*stored))
        return false;
    platform::win32::Win32Crypto crypto;
    common::Password check(crypto);
    check.LoadStored(*stored);
    return check.Matches(password);
}

// ---------------------------------------------------------------------------------------------------------
// Screenshots

// Saves a part of the screen (under Wine: of the virtual desktop) as build/e2e-artifacts/<name>.bmp; the harness
// turns .bmp files into .png. Returns the path, "" on failure.
inline std::string SaveScreenshot(const std::string& name, RECT area) {
    const RECT screen{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    if (!IntersectRect(&area, &area, &screen))
        return "";
    const int width = area.right - area.left;
    const int height = area.bottom - area.top;
    const platform::win32::WindowDc screenDc(nullptr);
    const platform::win32::UniqueDc memory(CreateCompatibleDC(screenDc.get()));
    const platform::win32::UniqueBitmap bitmap(CreateCompatibleBitmap(screenDc.get(), width, height));
    if (!screenDc || !memory || !bitmap)
        return "";
    {
        // Copied in while selected; read out below once it is not (GetDIBits wants it so).
        const platform::win32::SelectedObject selected(memory.get(), bitmap.get());
        BitBlt(memory.get(), 0, 0, width, height, screenDc.get(), area.left, area.top, SRCCOPY | CAPTUREBLT);
    }

    BITMAPINFOHEADER header{};
    header.biSize = sizeof header;
    header.biWidth = width;
    header.biHeight = height; // bottom-up, as .bmp files store rows
    header.biPlanes = 1;
    header.biBitCount = 24;
    header.biCompression = BI_RGB;
    const DWORD stride = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
    std::vector<BYTE> pixels(static_cast<std::size_t>(stride) * height);
    int rows = GetDIBits(memory.get(), bitmap.get(), 0, height, pixels.data(), reinterpret_cast<BITMAPINFO*>(&header),
                         DIB_RGB_COLORS);
    if (rows != height)
        return "";

    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42; // "BM"
    file.bfOffBits = sizeof file + sizeof header;
    file.bfSize = file.bfOffBits + static_cast<DWORD>(pixels.size());
    std::string path = ArtifactDir() + name + ".bmp";
    FILE* out = std::fopen(path.c_str(), "wb");
    if (!out)
        return "";
    bool ok = std::fwrite(&file, sizeof file, 1, out) == 1 && std::fwrite(&header, sizeof header, 1, out) == 1 &&
              std::fwrite(pixels.data(), 1, pixels.size(), out) == pixels.size();
    std::fclose(out);
    return ok ? path : "";
}

// The whole screen.
inline std::string SaveScreenshot(const std::string& name) {
    return SaveScreenshot(name, RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)});
}

// One window as it stands on the screen, with what covers it (the pictures of the user's guide come from these).
inline std::string SaveScreenshot(const std::string& name, HWND window) {
    RECT area{};
    return GetWindowRect(window, &area) ? SaveScreenshot(name, area) : "";
}

// ---------------------------------------------------------------------------------------------------------
// Runner

// Before and after every test: no kestrel.exe, no test windows; before, also a clean registry.
inline void CleanSlate(bool resetRegistry) {
    DestroyTestWindows();
    KillKestrel();
    if (resetRegistry)
        ResetRegistry();
}

// Runs every registered test (or, with arguments, those whose names are given); 0 when all passed.
inline int RunAll(int argc, char** argv) {
    std::set<std::string> only(argv + 1, argv + argc);
    int failed = 0;
    int ran = 0;
    for (const TestCase& test : AllTests()) {
        if (!only.empty() && !only.count(test.name))
            continue;
        ++ran;
        CurrentFailures().clear();
        CleanSlate(true);
        try {
            test.body();
        } catch (const TestAborted&) {
        } catch (const std::exception& e) {
            CurrentFailures().push_back(std::string("exception: ") + e.what());
        } catch (...) {
            CurrentFailures().push_back("unknown exception");
        }
        if (!CurrentFailures().empty())
            SaveScreenshot(ProgramName() + "-" + test.name);
        CleanSlate(false);
        if (CurrentFailures().empty()) {
            std::printf("PASS %s\n", test.name);
        } else {
            ++failed;
            std::string why;
            for (const std::string& f : CurrentFailures())
                why += (why.empty() ? "" : "; ") + f;
            std::printf("FAIL %s: %s\n", test.name, why.c_str());
        }
        std::fflush(stdout);
    }
    if (ran == 0) {
        std::printf("FAIL %s: no test ran\n", ProgramName().c_str());
        std::fflush(stdout);
        return 1;
    }
    return failed == 0 ? 0 : 1;
}

} // namespace e2e
