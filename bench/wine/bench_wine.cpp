// Measures kestrel.exe where it runs (Wine, or Windows) for scripts/bench.sh:
//  - the watcher's tick, and the load and save of 1000 stored items, with the real registry and desktop;
//  - whether the system reports foreground and title changes as win-events;
//  - start-up: from CreateProcess to the main window, and to the first lock of a window that was already in
//    the foreground;
//  - idle cost: the CPU time kestrel.exe uses over a period with 20 rules and no matching window;
//  - lock latency: from a matching window becoming the foreground window to it being hidden; and the unlock,
//    from OK in the prompt to the window being back; over many lock/unlock cycles, first with the tick alone
//    (Wine raises no win-event itself), then with the foreground event raised as Windows raises it;
//  - private memory, handles and windows of kestrel.exe after start, after the idle period and after the cycles;
//  - the CPU time kestrel.exe uses while a program in the background (helper_storm.exe) changes its title and
//    raises the title-change event many times a second;
//  - the guard (kestrel-guard.exe as the service): from the kill of its kestrel.exe to a matching window hidden by
//    the copy it starts again; its idle CPU beside its copy's; its private memory.
//
//   bench_wine.exe [--cycles N] [--event-cycles E] [--idle-seconds S] [--startups K] [--storm-rate R]
//                  [--storm-seconds T] [--guard-cycles G]
//
// Runs beside kestrel.exe (build/windows). Rewrites Kestrel's registry keys and ends every running kestrel.exe:
// use a private Wine prefix (scripts/bench.sh makes one) or a test machine. Prints "RESULT <name> <value>"
// lines for the script, progress on stderr. It drives kestrel.exe with the e2e tests' helpers
// (common/win32/drive.h), timed more finely: its waits look again every millisecond.
#include <windows.h>

#include <psapi.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "common/prompt_opener.h"
#include "common/shared_state.h"
#include "common/win32/drive.h"
#include "engine/lock_engine.h"
#include "platform/win32/win32_crypto.h"
#include "platform/win32/win32_desktop.h"
#include "platform/win32/win32_registry.h"
#include "platform/win32/win32_text_case.h"
#include "platform/win32/win32_timer.h"
#include "store/options.h"
#include "store/registry.h"

namespace {

using drive::kKestrelKey;
using drive::kLockedItemsKey;
using drive::kRunningCaption;
using drive::kSettingsKey;
using drive::NowMs;
using drive::Pause;
using drive::PumpMessages;

constexpr const char* kMainWindowClass = "KestrelMainWindow";
constexpr const char* kPassword = "PASSAGE";
constexpr const char* kLockedWord = "Crime"; // the one rule the measured windows match
// Waits look again this often: a lock is timed to about a millisecond.
constexpr DWORD kPollMs = 1;

// ---------------------------------------------------------------------------------------------------------
// Output, statistics

void Progress(const std::string& text) {
    std::fprintf(stderr, "[bench_wine] %s\n", text.c_str());
    std::fflush(stderr);
}

void Result(const std::string& name, double value) {
    std::printf("RESULT %s %.3f\n", name.c_str(), value);
    std::fflush(stdout);
}

// Nearest-rank percentile of a sorted sample.
double Percentile(const std::vector<double>& sorted, double p) {
    if (sorted.empty())
        return 0;
    std::size_t rank = static_cast<std::size_t>(std::ceil(p / 100.0 * static_cast<double>(sorted.size())));
    return sorted[std::min(sorted.size(), std::max<std::size_t>(rank, 1)) - 1];
}

void ResultStats(const std::string& name, std::vector<double> sample) {
    std::sort(sample.begin(), sample.end());
    Result(name + "_n", static_cast<double>(sample.size()));
    if (sample.empty())
        return;
    Result(name + "_min", sample.front());
    Result(name + "_median", Percentile(sample, 50));
    Result(name + "_p95", Percentile(sample, 95));
    Result(name + "_max", sample.back());
}

// ---------------------------------------------------------------------------------------------------------
// Messages and our own windows

// The time cond first held (NowMs), or -1.
double PollUntil(const std::function<bool()>& cond, double timeoutMs) {
    return drive::PollUntil(cond, timeoutMs, kPollMs);
}

// A top-level window of this process, each with a class of its own, so that an allowance the password gives
// one window (its class on kestrel's allow list) does not let the next one pass.
HWND MakeWindow(const std::string& className, const std::string& title, bool show) {
    drive::RegisterWindowClass(className, DefWindowProcW);
    HWND window = CreateWindowExA(0, className.c_str(), title.c_str(), WS_OVERLAPPEDWINDOW, 80, 80, 420, 200, nullptr,
                                  nullptr, GetModuleHandleA(nullptr), nullptr);
    if (window && show)
        ShowWindow(window, SW_SHOW);
    PumpMessages();
    return window;
}

bool BringToForeground(HWND window) {
    return drive::BringToForeground(window, 3000, kPollMs);
}

// ---------------------------------------------------------------------------------------------------------
// Registry

void DeleteTree(const char* path) {
    drive::DeleteTree(HKEY_LOCAL_MACHINE, path);
}

// Stores `count` active items: the locked word first, then "Locked item NNNN" (which no window here carries).
bool StoreItems(int count) {
    std::vector<std::pair<std::string, std::string>> items;
    for (int i = 0; i < count; ++i) {
        char data[64];
        if (i == 0) {
            std::snprintf(data, sizeof data, "%s,1", kLockedWord);
        } else {
            std::snprintf(data, sizeof data, "Locked item %04d,1", i);
        }
        items.emplace_back("Item" + std::to_string(i), data);
    }
    return drive::SetLockedItems(items);
}

// ---------------------------------------------------------------------------------------------------------
// Linux's view of Wine's processes

// Under Wine a Windows process is a Linux process, and Linux's own account of it is the true one: Wine 8's
// GetProcessTimes for another process does not give that process's CPU time (measured: it reported 7% of a
// core for a kestrel.exe that Linux saw using 0.2%). Wine shows the Linux file system as drive Z:, so /proc is
// readable from here. On Windows there is no Z:\proc and the Windows calls are used.
std::string ReadWholeFile(const std::string& path) {
    std::string text;
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return text;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;)
        text.append(buffer, n);
    std::fclose(file);
    return text;
}

// "WINEPREFIX=..." from a /proc/<pid>/environ ("" when there is none).
std::string WinePrefixEntry(const std::string& procDir) {
    const std::string environment = ReadWholeFile(procDir + "\\environ");
    for (std::size_t start = 0; start < environment.size();) {
        std::size_t end = environment.find('\0', start);
        if (end == std::string::npos)
            end = environment.size();
        if (environment.compare(start, 11, "WINEPREFIX=") == 0)
            return environment.substr(start, end - start);
        start = end + 1;
    }
    return "";
}

// The Linux process id of the process of this Wine prefix whose command line holds `image` (case-insensitive);
// 0 when there is none or this is not Wine.
int LinuxPidOf(const std::string& image) {
    const std::string prefix = WinePrefixEntry("Z:\\proc\\self");
    if (prefix.empty())
        return 0;
    auto lower = [](std::string s) {
        for (char& c : s)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return s;
    };
    const std::string wanted = lower(image);
    WIN32_FIND_DATAA entry{};
    HANDLE find = FindFirstFileA("Z:\\proc\\*", &entry);
    if (find == INVALID_HANDLE_VALUE)
        return 0;
    int found = 0;
    do {
        const char* name = entry.cFileName;
        if (!std::isdigit(static_cast<unsigned char>(name[0])))
            continue;
        const std::string dir = std::string("Z:\\proc\\") + name;
        std::string cmdline = ReadWholeFile(dir + "\\cmdline");
        std::replace(cmdline.begin(), cmdline.end(), '\0', ' ');
        if (lower(cmdline).find(wanted) == std::string::npos)
            continue;
        if (WinePrefixEntry(dir) != prefix)
            continue;
        found = std::atoi(name);
    } while (!found && FindNextFileA(find, &entry));
    FindClose(find);
    return found;
}

// User plus system CPU time of a Linux process in ms (/proc/<pid>/stat, in clock ticks of 10 ms); -1 if unknown.
double LinuxCpuMs(int pid) {
    const std::string stat = ReadWholeFile("Z:\\proc\\" + std::to_string(pid) + "\\stat");
    const std::size_t close = stat.rfind(')');
    if (close == std::string::npos)
        return -1;
    // After the command in parentheses: state, ppid, ... utime is the 12th field and stime the 13th.
    std::vector<std::string> fields;
    for (std::size_t i = close + 2; i < stat.size();) {
        std::size_t end = stat.find(' ', i);
        if (end == std::string::npos)
            end = stat.size();
        fields.push_back(stat.substr(i, end - i));
        i = end + 1;
    }
    if (fields.size() < 13)
        return -1;
    constexpr double kMsPerTick = 10.0; // USER_HZ is 100 on Linux
    return (std::atof(fields[11].c_str()) + std::atof(fields[12].c_str())) * kMsPerTick;
}

// ---------------------------------------------------------------------------------------------------------
// kestrel.exe

class Kestrel {
public:
    Kestrel() = default;
    ~Kestrel() { Stop(); }
    Kestrel(const Kestrel&) = delete;
    Kestrel& operator=(const Kestrel&) = delete;

    bool Start() {
        m_started = drive::StartKestrelProcess();
        return m_started.process != nullptr;
    }

    void Stop() {
        if (!m_started.process)
            return;
        TerminateProcess(Process(), 1);
        WaitForSingleObject(Process(), 5000);
        m_started = {};
        m_linuxPid = 0;
        PumpMessages();
    }

    HANDLE Process() const { return m_started.process.get(); }
    DWORD Pid() const { return m_started.pid; }

    // Its main window, once it runs as the first instance.
    HWND MainWindow() const {
        for (HWND w = FindWindowExA(nullptr, nullptr, kMainWindowClass, kRunningCaption); w;
             w = FindWindowExA(nullptr, w, kMainWindowClass, kRunningCaption)) {
            if (Owns(w))
                return w;
        }
        return nullptr;
    }

    // The visible password prompt: a window of the process titled "Kestrel 2004" with a password box.
    HWND Prompt() const {
        for (HWND w = FindWindowExA(nullptr, nullptr, nullptr, kRunningCaption); w;
             w = FindWindowExA(nullptr, w, nullptr, kRunningCaption)) {
            if (Owns(w) && IsWindowVisible(w) && FindWindowExA(w, nullptr, "Edit", nullptr))
                return w;
        }
        return nullptr;
    }

    bool Owns(HWND window) const {
        DWORD pid = 0;
        GetWindowThreadProcessId(window, &pid);
        return pid == Pid();
    }

    // Its Linux process under Wine, 0 on Windows.
    int LinuxPid() {
        if (m_linuxPid == 0 && m_started.process)
            m_linuxPid = LinuxPidOf("kestrel.exe");
        return m_linuxPid;
    }

    // User plus kernel time so far, in ms.
    double CpuMs() {
        if (LinuxPid() != 0)
            return LinuxCpuMs(m_linuxPid);
        FILETIME created, exited, kernel, user;
        if (!GetProcessTimes(Process(), &created, &exited, &kernel, &user))
            return -1;
        auto ms = [](const FILETIME& t) {
            return static_cast<double>((static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime) /
                   10000.0;
        };
        return ms(kernel) + ms(user);
    }

private:
    drive::KestrelProcess m_started;
    int m_linuxPid = 0;
};

// ---------------------------------------------------------------------------------------------------------
// Resources of a process

// Handles of a process. GetProcessHandleCount answers for other processes on Windows; Wine 8 gives 0 there, but
// it keeps the system's handle list (SystemExtendedHandleInformation), which names each handle's process.
double HandleCount(HANDLE process, DWORD pid) {
    DWORD count = 0;
    if (GetProcessHandleCount(process, &count) && count > 0)
        return count;

    struct Entry {
        PVOID object;
        ULONG_PTR pid;
        ULONG_PTR handle;
        ULONG access;
        USHORT backTraceIndex;
        USHORT typeIndex;
        ULONG attributes;
        ULONG reserved;
    };
    struct Info {
        ULONG_PTR count;
        ULONG_PTR reserved;
        Entry handles[1];
    };
    using QueryFn = LONG(WINAPI*)(ULONG, PVOID, ULONG, PULONG);
    auto query = reinterpret_cast<QueryFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQuerySystemInformation")));
    if (!query)
        return -1;
    constexpr ULONG kSystemExtendedHandleInformation = 64;
    std::vector<char> buffer(1 << 20);
    for (int attempt = 0; attempt < 6; ++attempt) {
        ULONG needed = 0;
        LONG status =
            query(kSystemExtendedHandleInformation, buffer.data(), static_cast<ULONG>(buffer.size()), &needed);
        if (status == 0) {
            const auto* info = reinterpret_cast<const Info*>(buffer.data());
            double mine = 0;
            for (ULONG_PTR i = 0; i < info->count; ++i)
                if (info->handles[i].pid == pid)
                    ++mine;
            return mine;
        }
        buffer.resize(std::max<std::size_t>(buffer.size() * 2, needed + 4096));
    }
    return -1;
}

// Windows (top-level and child) of a process: what its USER objects come to where GetGuiResources answers 0.
double WindowCount(DWORD pid) {
    struct Query {
        DWORD pid;
        double count;
    } query{pid, 0};
    EnumWindows(
        [](HWND window, LPARAM param) -> BOOL {
            auto* q = reinterpret_cast<Query*>(param);
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            if (owner != q->pid)
                return TRUE;
            q->count += 1;
            EnumChildWindows(
                window,
                [](HWND, LPARAM p) -> BOOL {
                    reinterpret_cast<Query*>(p)->count += 1;
                    return TRUE;
                },
                param);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&query));
    return query.count;
}

// Private memory, handles and windows of kestrel.exe, as "<prefix>_private_kb" etc.
void ResultResources(const Kestrel& kestrel, const std::string& prefix) {
    PROCESS_MEMORY_COUNTERS_EX memory{};
    memory.cb = sizeof memory;
    if (GetProcessMemoryInfo(kestrel.Process(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof memory)) {
        // PrivateUsage is the process's commit charge. Wine 8 leaves it 0 for other processes and puts into
        // PagefileUsage (which Windows also sets to the commit charge) the Linux process's resident anonymous
        // memory (RssAnon; measured equal): its private memory.
        const SIZE_T privateBytes = memory.PrivateUsage != 0 ? memory.PrivateUsage : memory.PagefileUsage;
        Result(prefix + "_private_kb", static_cast<double>(privateBytes) / 1024.0);
        Result(prefix + "_working_set_kb", static_cast<double>(memory.WorkingSetSize) / 1024.0);
    }
    Result(prefix + "_handles", HandleCount(kestrel.Process(), kestrel.Pid()));
    Result(prefix + "_windows", WindowCount(kestrel.Pid()));
    Result(prefix + "_gdi_objects", GetGuiResources(kestrel.Process(), GR_GDIOBJECTS));
    Result(prefix + "_user_objects", GetGuiResources(kestrel.Process(), GR_USEROBJECTS));
}

// ---------------------------------------------------------------------------------------------------------
// In this process: the engine with the real registry and desktop

class CountingPrompt : public common::PromptOpener {
public:
    void ShowPrompt() override { ++shown; }
    long shown = 0;
};

void MeasureEngineInProcess() {
    Progress("engine in this process: load, save and tick with 1000 items and 100 allow entries");
    platform::win32::Win32Registry api;
    store::Registry registry(api);
    platform::win32::Win32Desktop desktop;
    platform::win32::Win32TimerFactory timers;
    platform::win32::Win32Crypto crypto;
    common::SharedState state(crypto);
    store::Options options;
    CountingPrompt prompt;
    common::DeferredWork later;
    std::vector<double> loads, saves;
    {
        platform::NoEventLog events;
        platform::win32::Win32TextCase textCase;
        engine::LockEngine engine(registry, desktop, timers, state, options, prompt, events, later, textCase);
        StoreItems(1000);
        for (int i = 0; i < 5; ++i) {
            double t0 = NowMs();
            engine.GetWindows();
            loads.push_back(NowMs() - t0);
            t0 = NowMs();
            engine.SaveWindows();
            saves.push_back(NowMs() - t0);
        }
        engine.GetWindows();
        engine.timerorv().SetEnabled(false); // ticks are called directly below

        auto measureTicks = [&](const std::string& name) {
            std::vector<double> ticks;
            for (int i = 0; i < 200; ++i) {
                const double t0 = NowMs();
                engine.TimerorvTick();
                ticks.push_back(NowMs() - t0);
            }
            ResultStats(name, ticks);
        };
        // An ordinary foreground window that matches none of the 1000 rules.
        HWND foreground = MakeWindow("BenchReport", "Quarterly report 2004 - Word Processor", true);
        BringToForeground(foreground);
        measureTicks("engine_tick_1000r_0a_ms");
        // The same with the rules matching in any letter case.
        options.Set(store::Option::AnyCase, true);
        engine.GetWindows();
        measureTicks("engine_tick_1000r_0a_anycase_ms");
        options.Set(store::Option::AnyCase, false);
        engine.GetWindows();

        // 100 allow entries, each kept alive by a (hidden) window of that class.
        std::vector<HWND> windows{foreground};
        for (int i = 0; i < 100; ++i) {
            const std::string cls = "BenchAllowed" + std::to_string(i);
            windows.push_back(MakeWindow(cls, "Allowed document " + std::to_string(i), false));
            engine.Allow(0, cls, "");
        }
        measureTicks("engine_tick_1000r_100a_ms");
        if (engine.ListAllow().Count() != 100 || engine.ListLockedItems().size() != 1000 || prompt.shown != 0)
            Progress("warning: the tick world changed while measured");

        // One window search as the pruning does it (two per allow entry), for a title that no window has.
        const double t0 = NowMs();
        for (int i = 0; i < 1000; ++i)
            FindWindowA(nullptr, "No window has this title");
        Result("findwindow_us", NowMs() - t0); // 1000 calls: the total in ms is the time of one in us
        // Wine's FindWindowA reads the title of every top-level window from the wine server, one request each.
        int topLevel = 0;
        EnumWindows([](HWND, LPARAM count) -> BOOL { return ++*reinterpret_cast<int*>(count), TRUE; },
                    reinterpret_cast<LPARAM>(&topLevel));
        Result("findwindow_top_level_windows", topLevel);

        for (HWND w : windows)
            DestroyWindow(w);
        PumpMessages();
    }
    DeleteTree(kLockedItemsKey);
    ResultStats("engine_load_1000_ms", loads);
    ResultStats("engine_save_1000_ms", saves);
}

// ---------------------------------------------------------------------------------------------------------
// Win-events: does the system report foreground and title changes?

int g_foregroundEvents = 0;
int g_nameEvents = 0;

void CALLBACK OnWinEvent(HWINEVENTHOOK, DWORD event, HWND, LONG idObject, LONG, DWORD, DWORD) {
    if (event == EVENT_SYSTEM_FOREGROUND)
        ++g_foregroundEvents;
    if (event == EVENT_OBJECT_NAMECHANGE && idObject == OBJID_WINDOW)
        ++g_nameEvents;
}

void MeasureWinEvents() {
    Progress("win-events: 20 foreground changes and 20 title changes");
    HWINEVENTHOOK foregroundHook = SetWinEventHook(EVENT_SYSTEM_FOREGROUND, EVENT_SYSTEM_FOREGROUND, nullptr,
                                                   OnWinEvent, 0, 0, WINEVENT_OUTOFCONTEXT);
    HWINEVENTHOOK nameHook = SetWinEventHook(EVENT_OBJECT_NAMECHANGE, EVENT_OBJECT_NAMECHANGE, nullptr, OnWinEvent, 0,
                                             0, WINEVENT_OUTOFCONTEXT);
    HWND a = MakeWindow("BenchEventsA", "Events A", true);
    HWND b = MakeWindow("BenchEventsB", "Events B", true);
    Pause(200);
    g_foregroundEvents = 0;
    g_nameEvents = 0;
    for (int i = 0; i < 20; ++i) {
        BringToForeground(i % 2 ? a : b);
        SetWindowTextA(a, ("Events A " + std::to_string(i)).c_str());
        Pause(50);
    }
    Pause(300);
    Result("winevent_foreground_changes", 20);
    Result("winevent_foreground_events", g_foregroundEvents);
    Result("winevent_title_changes", 20);
    Result("winevent_title_events", g_nameEvents);
    if (foregroundHook)
        UnhookWinEvent(foregroundHook);
    if (nameHook)
        UnhookWinEvent(nameHook);
    DestroyWindow(a);
    DestroyWindow(b);
    PumpMessages();
}

// ---------------------------------------------------------------------------------------------------------
// kestrel.exe: start-up, idle, lock and unlock

void MeasureStartup(int runs) {
    Progress("start-up: " + std::to_string(runs) + " starts with a matching window already in the foreground");
    std::vector<double> toMainWindow, toFirstLock;
    for (int run = 0; run < runs; ++run) {
        drive::KillKestrel();
        HWND window = MakeWindow("BenchStartup" + std::to_string(run), "Crime Stories - Browser", true);
        if (!BringToForeground(window)) {
            Progress("start-up: could not bring the window to the foreground");
            DestroyWindow(window);
            continue;
        }
        Kestrel kestrel;
        const double t0 = NowMs();
        if (!kestrel.Start()) {
            Progress("start-up: could not start kestrel.exe");
            DestroyWindow(window);
            break;
        }
        double mainAt = -1;
        const double lockAt = PollUntil(
            [&] {
                if (mainAt < 0 && kestrel.MainWindow())
                    mainAt = NowMs();
                return !IsWindowVisible(window);
            },
            15000);
        if (mainAt >= 0)
            toMainWindow.push_back(mainAt - t0);
        if (lockAt >= 0)
            toFirstLock.push_back(lockAt - t0);
        kestrel.Stop();
        DestroyWindow(window);
        PumpMessages();
    }
    ResultStats("startup_main_window_ms", toMainWindow);
    ResultStats("startup_first_lock_ms", toFirstLock);
}

// Locks and unlocks `cycles` times: a new matching window comes to the foreground and is hidden (latency),
// the password typed into the prompt gives it back (unlock time). Each window has a class of its own.
// A cycle ends just after a watcher tick, so the next window would always arrive at the same point of the
// tick period; a random pause (0 to 999 ms, the same sequence every run) before each window spreads the
// arrivals over the period, as a user's windows arrive. With `raiseEvent` the window's coming to the front is
// announced as Windows announces it (EVENT_SYSTEM_FOREGROUND), right after it is in front; without, only the
// tick can see it, as under Wine. The figures go out as "<name>_latency_ms" and "<name>_unlock_ms".
constexpr int kWarmCycles = 10;

void MeasureCycles(Kestrel& kestrel, int cycles, bool raiseEvent, const std::string& name) {
    Progress("lock/unlock" + std::string(raiseEvent ? " with the foreground event: " : ": ") + std::to_string(cycles) +
             " cycles");
    std::vector<double> latencies, unlocks;
    int failures = 0;
    std::mt19937 random(2004);
    std::uniform_int_distribution<int> pause(0, 999);
    for (int i = 0; i < cycles; ++i) {
        Pause(pause(random));
        HWND window =
            MakeWindow("Bench" + name + std::to_string(i), "Crime Stories " + std::to_string(i) + " - Browser", false);
        bool ok = BringToForeground(window);
        const double t0 = NowMs();
        if (ok && raiseEvent)
            drive::RaiseWinEvent(EVENT_SYSTEM_FOREGROUND, window);
        const double hiddenAt = ok ? PollUntil([&] { return !IsWindowVisible(window); }, 5000) : -1;
        HWND prompt = nullptr;
        if (hiddenAt >= 0) {
            latencies.push_back(hiddenAt - t0);
            PollUntil([&] { return (prompt = kestrel.Prompt()) != nullptr; }, 5000);
        }
        HWND edit = prompt ? FindWindowExA(prompt, nullptr, "Edit", nullptr) : nullptr;
        HWND okButton = prompt ? FindWindowExA(prompt, nullptr, "Button", "OK") : nullptr;
        if (edit && okButton) {
            DWORD_PTR unused = 0;
            SendMessageTimeoutA(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(kPassword), SMTO_ABORTIFHUNG, 5000,
                                &unused);
            const double t1 = NowMs();
            PostMessageA(okButton, BM_CLICK, 0, 0);
            const double shownAt = PollUntil([&] { return IsWindowVisible(window) != FALSE; }, 5000);
            if (shownAt >= 0)
                unlocks.push_back(shownAt - t1);
            ok = shownAt >= 0;
            // The next cycle starts with the prompt gone, as a user's next locked window would find it.
            PollUntil([&] { return kestrel.Prompt() == nullptr; }, 3000);
        } else {
            ok = false;
        }
        if (!ok)
            ++failures;
        DestroyWindow(window);
        PumpMessages();
        if ((i + 1) % 50 == 0)
            Progress("  " + std::to_string(i + 1) + " cycles");
        // The first cycles make what the lock keeps for later (the prompt window); growth after them is a leak.
        if (i + 1 == kWarmCycles && !raiseEvent) {
            Pause(1500);
            ResultResources(kestrel, "after_warm_cycles");
        }
    }
    Result(name + "_cycles", cycles);
    Result(name + "_cycle_failures", failures);
    ResultStats(name + "_latency_ms", latencies);
    ResultStats(name + "_unlock_ms", unlocks);
}

// ---------------------------------------------------------------------------------------------------------
// A storm of title changes in the background

int g_stormEvents = 0;

void CALLBACK CountStormEvent(HWINEVENTHOOK, DWORD, HWND, LONG idObject, LONG, DWORD, DWORD) {
    if (idObject == OBJID_WINDOW)
        ++g_stormEvents;
}

// helper_storm.exe (built beside this program) renames its window in the background `perSecond` times a second
// for `seconds` and raises the title-change event each time; an ordinary window of this program is in front.
// kestrel.exe's CPU time over the storm shows what the events cost it. A hook of this program's own, on every
// process, counts the storm's events, to show that they were raised and could be had by whoever listened.
void MeasureStorm(Kestrel& kestrel, int perSecond, int seconds) {
    Progress("title storm: " + std::to_string(perSecond) + " events a second for " + std::to_string(seconds) + " s");
    HWND front = MakeWindow("BenchStormFront", "Quarterly report 2004 - Word Processor", true);
    BringToForeground(front);
    drive::RaiseWinEvent(EVENT_SYSTEM_FOREGROUND, front);
    Pause(1500); // a tick sees it too
    HWINEVENTHOOK counter = SetWinEventHook(EVENT_OBJECT_NAMECHANGE, EVENT_OBJECT_NAMECHANGE, nullptr, CountStormEvent,
                                            0, 0, WINEVENT_OUTOFCONTEXT | WINEVENT_SKIPOWNPROCESS);
    std::string line =
        "\"" + drive::ExeDir() + "helper_storm.exe\" " + std::to_string(perSecond) + " " + std::to_string(seconds);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
        Progress("title storm: could not start helper_storm.exe");
    } else {
        const platform::win32::UniqueHandle thread(info.hThread), process(info.hProcess);
        // From the first event on: the helper's start is not the storm.
        g_stormEvents = 0;
        PollUntil([] { return g_stormEvents > 0; }, 10000);
        const int serverPid = LinuxPidOf("wineserver");
        const double server0 = serverPid ? LinuxCpuMs(serverPid) : -1;
        const double cpu0 = kestrel.CpuMs();
        const double t0 = NowMs();
        PollUntil([&] { return WaitForSingleObject(process.get(), 0) == WAIT_OBJECT_0; }, seconds * 1000.0 + 10000);
        const double t1 = NowMs();
        const double cpu1 = kestrel.CpuMs();
        Result("storm_seconds", (t1 - t0) / 1000.0);
        Result("storm_events_per_second", perSecond);
        Result("storm_events_seen", g_stormEvents);
        Result("storm_cpu_ms", cpu1 - cpu0);
        Result("storm_cpu_percent", 100.0 * (cpu1 - cpu0) / (t1 - t0));
        if (serverPid)
            Result("storm_wineserver_cpu_ms", LinuxCpuMs(serverPid) - server0);
        Result("storm_kestrel_alive", WaitForSingleObject(kestrel.Process(), 0) == WAIT_TIMEOUT ? 1 : 0);
    }
    if (counter)
        UnhookWinEvent(counter);
    DestroyWindow(front);
    PumpMessages();
}

// ---------------------------------------------------------------------------------------------------------
// The guard

// Runs a program beside this one with these arguments and waits for it; its exit code, -1 when it did not run.
long RunBeside(const std::string& program, const std::string& arguments) {
    std::string line = "\"" + drive::ExeDir() + program + "\" " + arguments;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
        return -1;
    const platform::win32::UniqueHandle thread(info.hThread), process(info.hProcess);
    PollUntil([&] { return WaitForSingleObject(process.get(), 0) == WAIT_OBJECT_0; }, 60000);
    DWORD code = static_cast<DWORD>(-1);
    GetExitCodeProcess(process.get(), &code);
    return static_cast<long>(code);
}

// The process of the copy of Kestrel running as the first instance (the guard's), 0 when there is none.
DWORD RunningKestrel() {
    HWND main = FindWindowA(kMainWindowClass, kRunningCaption);
    DWORD pid = 0;
    if (main)
        GetWindowThreadProcessId(main, &pid);
    return pid;
}

// kestrel-guard.exe, installed as the service from beside this program, starts kestrel.exe beside it. Each cycle
// ends that copy with a Linux kill (its access rules refuse TerminateProcess to every program here), brings up a
// matching window and times the copy the guard starts again until it has hidden the window; 6 s apart, so that
// each copy ran the 5 s after which the guard starts it again at once. Then the guard's CPU over an idle period,
// beside its copy's, and its private memory. The service is taken away at the end.
void MeasureGuard(int cycles, int idleSeconds) {
    Progress("guard: " + std::to_string(cycles) + " kills of the guard's kestrel.exe, then " +
             std::to_string(idleSeconds) + " s idle");
    drive::KillKestrel();
    if (RunBeside("kestrel-guard.exe", "/install") != 0) {
        Progress("guard: kestrel-guard.exe /install failed");
        return;
    }
    std::vector<double> restarts;
    for (int i = 0; i < cycles; ++i) {
        if (PollUntil([] { return RunningKestrel() != 0; }, 30000) < 0)
            break;
        Pause(6000);
        const DWORD pid = RunningKestrel();
        const platform::win32::UniqueHandle old(OpenProcess(SYNCHRONIZE, FALSE, pid));
        const int linuxPid = LinuxPidOf("kestrel.exe /guarded");
        if (!old || linuxPid == 0)
            break;
        std::string kill = "/bin/kill -9 " + std::to_string(linuxPid);
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info{};
        if (!CreateProcessA(nullptr, kill.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
            break;
        CloseHandle(info.hThread);
        CloseHandle(info.hProcess);
        const double killed = PollUntil([&] { return WaitForSingleObject(old.get(), 0) == WAIT_OBJECT_0; }, 10000);
        if (killed < 0)
            break;
        HWND window = MakeWindow("BenchGuard" + std::to_string(i), "Crime Stories - Browser", true);
        BringToForeground(window);
        const double hidden = PollUntil([&] { return !IsWindowVisible(window); }, 20000);
        if (hidden >= 0)
            restarts.push_back(hidden - killed);
        DestroyWindow(window);
    }
    ResultStats("guard_restart_hidden_ms", restarts);

    const int guard = LinuxPidOf("kestrel-guard.exe");
    const int copy = LinuxPidOf("kestrel.exe /guarded");
    if (guard && copy) {
        HWND idleWindow = MakeWindow("BenchGuardIdle", "Quarterly report 2004 - Word Processor", true);
        BringToForeground(idleWindow);
        Pause(2000);
        const double guard0 = LinuxCpuMs(guard), copy0 = LinuxCpuMs(copy), t0 = NowMs();
        while (NowMs() - t0 < idleSeconds * 1000.0) {
            PumpMessages();
            Sleep(100);
        }
        Result("guard_idle_seconds", (NowMs() - t0) / 1000.0);
        Result("guard_idle_cpu_ms", LinuxCpuMs(guard) - guard0);
        Result("guard_copy_idle_cpu_ms", LinuxCpuMs(copy) - copy0);
        DestroyWindow(idleWindow);
    }
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
    SC_HANDLE service = manager ? OpenServiceA(manager, "KestrelGuard", SERVICE_QUERY_STATUS) : nullptr;
    SERVICE_STATUS_PROCESS status{};
    DWORD needed = 0;
    if (service && QueryServiceStatusEx(service, SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&status),
                                        sizeof status, &needed)) {
        const platform::win32::UniqueHandle process(
            OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, status.dwProcessId));
        PROCESS_MEMORY_COUNTERS_EX memory{};
        memory.cb = sizeof memory;
        if (process &&
            GetProcessMemoryInfo(process.get(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof memory))
            Result("guard_private_kb",
                   static_cast<double>(memory.PrivateUsage != 0 ? memory.PrivateUsage : memory.PagefileUsage) / 1024.0);
    }
    if (service)
        CloseServiceHandle(service);
    if (manager)
        CloseServiceHandle(manager);
    RunBeside("kestrel-guard.exe", "/uninstall");
    PumpMessages();
}

int ArgValue(int argc, char** argv, const char* name, int fallback) {
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], name) == 0)
            return std::atoi(argv[i + 1]);
    return fallback;
}

} // namespace

int main(int argc, char** argv) {
    const int cycles = ArgValue(argc, argv, "--cycles", 200);
    const int idleSeconds = ArgValue(argc, argv, "--idle-seconds", 60);
    const int startups = ArgValue(argc, argv, "--startups", 5);
    const int eventCycles = ArgValue(argc, argv, "--event-cycles", 200);
    const int stormRate = ArgValue(argc, argv, "--storm-rate", 1000);
    const int stormSeconds = ArgValue(argc, argv, "--storm-seconds", 10);
    const int guardCycles = ArgValue(argc, argv, "--guard-cycles", 7);

    drive::KillKestrel();
    DeleteTree(kLockedItemsKey);
    DeleteTree(kSettingsKey);

    MeasureEngineInProcess();
    MeasureWinEvents();

    // 20 rules from here on; the default password.
    if (!StoreItems(20)) {
        Progress("could not store the items");
        return 1;
    }
    MeasureStartup(startups);

    drive::KillKestrel();
    Kestrel kestrel;
    if (!kestrel.Start() || PollUntil([&] { return kestrel.MainWindow() != nullptr; }, 30000) < 0) {
        Progress("kestrel.exe did not start");
        return 1;
    }
    // An ordinary window in the foreground: nothing to lock while idle.
    HWND idleWindow = MakeWindow("BenchIdle", "Quarterly report 2004 - Word Processor", true);
    BringToForeground(idleWindow);
    Pause(2000); // past start-up and the first ticks
    ResultResources(kestrel, "after_start");

    Progress("idle: " + std::to_string(idleSeconds) + " s with 20 rules and no matching window");
    // Under Wine part of every window call's work is done by the wine server, on behalf of all the prefix's
    // processes: shown beside, with this program as quiet as it can be (a wake-up every 100 ms).
    const int serverPid = LinuxPidOf("wineserver");
    const double server0 = serverPid ? LinuxCpuMs(serverPid) : -1;
    // Beside it, for the same period, the least a watcher can do (bench_minimal.exe): the floor of the idle cost.
    PROCESS_INFORMATION minimal{};
    {
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        std::string line = "\"" + drive::ExeDir() + "bench_minimal.exe\" " + std::to_string(idleSeconds + 5);
        if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &minimal))
            Progress("bench_minimal.exe did not start");
        Pause(1000);
    }
    const int minimalPid = minimal.hProcess ? LinuxPidOf("bench_minimal.exe") : 0;
    const double minimal0 = minimalPid ? LinuxCpuMs(minimalPid) : -1;
    const double cpu0 = kestrel.CpuMs();
    const double t0 = NowMs();
    while (NowMs() - t0 < idleSeconds * 1000.0) {
        PumpMessages();
        Sleep(100);
    }
    const double cpu1 = kestrel.CpuMs();
    const double t1 = NowMs();
    if (minimalPid) {
        const double minimalCpu = LinuxCpuMs(minimalPid) - minimal0;
        Result("idle_minimal_cpu_ms", minimalCpu);
        if (minimalCpu > 0)
            Result("idle_ratio_to_minimal", (cpu1 - cpu0) / minimalCpu);
    }
    if (minimal.hProcess) {
        TerminateProcess(minimal.hProcess, 0);
        CloseHandle(minimal.hProcess);
        CloseHandle(minimal.hThread);
    }
    Result("idle_seconds", (t1 - t0) / 1000.0);
    Result("idle_cpu_ms", cpu1 - cpu0);
    Result("idle_cpu_percent", 100.0 * (cpu1 - cpu0) / (t1 - t0));
    Result("idle_cpu_source_linux", kestrel.LinuxPid() != 0 ? 1 : 0);
    if (serverPid)
        Result("idle_wineserver_cpu_ms", LinuxCpuMs(serverPid) - server0);
    ResultResources(kestrel, "after_idle");
    DestroyWindow(idleWindow);

    const double cpuBefore = kestrel.CpuMs();
    MeasureCycles(kestrel, cycles, false, "lock");
    Result("cycles", cycles);
    Result("warm_cycles", std::min(cycles, kWarmCycles));
    Result("cycles_cpu_ms", kestrel.CpuMs() - cpuBefore);
    Pause(2000);
    ResultResources(kestrel, "after_cycles");

    MeasureCycles(kestrel, eventCycles, true, "event_lock");
    MeasureStorm(kestrel, stormRate, stormSeconds);

    kestrel.Stop();
    MeasureGuard(guardCycles, std::min(idleSeconds, 30));
    DeleteTree(kLockedItemsKey);
    DeleteTree(kSettingsKey);
    DeleteTree(kKestrelKey);
    Progress("done");
    return 0;
}
