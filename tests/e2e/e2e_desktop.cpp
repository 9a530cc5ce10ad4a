// Kestrel on a desktop that behaves as today's Windows does: windows that come to the front or change their
// title announce it with win-events (raised here as Windows raises them; Wine raises none itself), a program in
// the background renames its window a thousand times a second, keys come from the X server as a keyboard's
// would (xdotool), and other programs post commands to Kestrel's hidden main window.
#include <algorithm>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "e2e_framework.h"

#include <commctrl.h>

namespace {

using Items = std::vector<std::pair<std::string, std::string>>;

constexpr DWORD kLockWaitMs = 5000;
constexpr double kTickMs = 1000;
// A trial starts this long after a tick and is over this long before the next one.
constexpr double kAfterTickMs = 150;
constexpr double kBeforeTickMs = 250;
constexpr WORD kMenuSetup = 40001; // the tray menu's "Setup..." as the main window receives it
constexpr const char* kWindowClass = "KestrelE2EWindow";

DWORD g_kestrel = 0;

void StartWith(const Items& items) {
    g_kestrel = 0;
    g_kestrel = e2e::StartKestrelWithItems(items);
}

// A window of this process, not shown yet (CreateTestWindow shows it, and a shown window may take the front).
HWND MakeWindow(const std::string& title) {
    drive::RegisterWindowClass(kWindowClass, e2e::TestWindowProc);
    HWND window = CreateWindowExA(0, kWindowClass, title.c_str(), WS_OVERLAPPEDWINDOW, 200, 150, 480, 240, nullptr,
                                  nullptr, GetModuleHandleA(nullptr), nullptr);
    E2E_REQUIRE(window != nullptr, "could not create \"" + title + "\"");
    e2e::TestWindows()[window] = {};
    return window;
}

// Brings the window to the front as a user's click would, with the event that Windows raises for it.
void Front(HWND window) {
    E2E_REQUIRE(e2e::BringToForeground(window), "could not bring \"" + e2e::WindowText(window) + "\" to the front");
    drive::RaiseWinEvent(EVENT_SYSTEM_FOREGROUND, window);
}

// The time (drive::NowMs) of a watcher tick, learnt from a matching window brought to the front without an
// event: the tick hides it, a few milliseconds before this program sees it hidden.
double LearnTick() {
    HWND probe = MakeWindow("Crime probe");
    E2E_REQUIRE(e2e::BringToForeground(probe), "could not bring the probe to the front");
    const double tick = drive::PollUntil([&] { return !IsWindowVisible(probe); }, kLockWaitMs, 1);
    E2E_REQUIRE(tick >= 0, "the watcher did not hide the probe");
    // The prompt takes the front a little after it shows; let it, before the trial's windows come.
    HWND prompt = e2e::WaitForPrompt(g_kestrel);
    e2e::WaitUntil([&] { return prompt && GetForegroundWindow() == prompt; }, 2000);
    return tick;
}

// Runs a trial between two watcher ticks: `act` a little after one tick puts a matching window in front (with its
// event); the window then has until a little before the next tick to be hidden, and `undo` takes the match out
// of the front before that tick. No tick ever sees the match, so only the event can have hidden the window.
bool HiddenBetweenTicks(double tick, HWND window, const std::function<void()>& act, const std::function<void()>& undo) {
    // A whole period ahead: what the test set up before is seen by a tick first.
    double start = tick + kAfterTickMs;
    while (start < drive::NowMs() + kTickMs)
        start += kTickMs;
    e2e::Pause(static_cast<DWORD>(start - drive::NowMs()));
    act();
    const double left = start + kTickMs - kAfterTickMs - kBeforeTickMs - drive::NowMs();
    const bool hidden = drive::PollUntil([&] { return !IsWindowVisible(window); }, left, 1) >= 0;
    undo();
    return hidden;
}

E2E_TEST(WindowBroughtForwardWithTheEventIsHiddenBeforeAnyTick) {
    StartWith({{"Item0", "Crime,1"}});
    HWND neutral = MakeWindow("Notes");
    HWND browser = MakeWindow("Crime Stories - Browser");
    const double tick = LearnTick();
    E2E_CHECK(HiddenBetweenTicks(
                  tick, browser, [&] { Front(browser); }, [&] { Front(neutral); }),
              "the window was not hidden before the next tick could have seen it");
    E2E_CHECK(e2e::WaitForPrompt(g_kestrel) != nullptr, "no prompt for the hidden window");
}

E2E_TEST(TitleChangedToALockedWordWithTheEventIsHiddenBeforeAnyTick) {
    StartWith({{"Item0", "Crime,1"}});
    HWND browser = MakeWindow("Weather - Browser");
    const double tick = LearnTick();
    Front(browser); // matches nothing yet
    E2E_CHECK(HiddenBetweenTicks(
                  tick, browser,
                  [&] {
                      SetWindowTextA(browser, "Crime Stories - Browser");
                      drive::RaiseWinEvent(EVENT_OBJECT_NAMECHANGE, browser);
                  },
                  [&] { SetWindowTextA(browser, "Weather - Browser"); }),
              "the window was not hidden before the next tick could have seen its new title");
}

// One of the helper programs beside this one, for as long as the test needs it.
class Helper {
public:
    Helper(const std::string& program, const std::string& arguments) {
        std::string line = "\"" + e2e::ExeDir() + program + "\" " + arguments;
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info{};
        if (CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
            CloseHandle(info.hThread);
            m_process.reset(info.hProcess);
        }
    }
    ~Helper() {
        if (m_process)
            TerminateProcess(m_process.get(), 1);
    }
    bool Running() const { return m_process && WaitForSingleObject(m_process.get(), 0) == WAIT_TIMEOUT; }

private:
    platform::win32::UniqueHandle m_process;
};

E2E_TEST(TitleStormInTheBackgroundLeavesKestrelResponsive) {
    StartWith({{"Item0", "Crime,1"}});
    Front(MakeWindow("Notes"));
    Helper storm("helper_storm.exe", "1000 20");
    E2E_REQUIRE(storm.Running(), "helper_storm.exe did not start");
    e2e::Pause(1500);
    HWND browser = MakeWindow("Crime Stories - Browser");
    Front(browser);
    E2E_CHECK(e2e::WaitUntil([&] { return !IsWindowVisible(browser); }, kLockWaitMs), "the window was not hidden");
    HWND prompt = e2e::WaitForPrompt(g_kestrel);
    E2E_REQUIRE(prompt && e2e::AnswerPrompt(prompt, "PASSAGE"), "no prompt to answer");
    E2E_CHECK(e2e::WaitUntil([&] { return IsWindowVisible(browser) != FALSE; }), "the password did not give it back");
    E2E_CHECK(storm.Running(), "the storm was over before the test: it proves nothing");
}

// ---------------------------------------------------------------------------------------------------------
// Task keys, typed on the X server's keyboard

std::vector<WPARAM> g_keysDown; // what the key window received, in order

LRESULT CALLBACK KeyWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_KEYDOWN || message == WM_SYSKEYDOWN)
        g_keysDown.push_back(wParam);
    // Alt pressed and released alone (its Tab kept away) opens the window menu's loop, which would stall this
    // thread until the next key.
    if (message == WM_SYSCOMMAND && (wParam & 0xFFF0) == SC_KEYMENU)
        return 0;
    return DefWindowProcW(window, message, wParam, lParam);
}

bool Seen(WPARAM vk) {
    return std::find(g_keysDown.begin(), g_keysDown.end(), vk) != g_keysDown.end();
}

std::string KeysSeen() {
    std::string text;
    for (WPARAM vk : g_keysDown)
        text += " " + std::to_string(vk);
    return text.empty() ? " none" : text;
}

// Clicks into the window and types Alt+Tab, Alt+Esc, Ctrl+Esc and the left Windows key, then an "a" that nothing
// keeps: once the window has the "a", it has had whatever it was going to get of the others.
void TypeTaskKeys(HWND window, const std::string& when) {
    E2E_REQUIRE(e2e::BringToForeground(window), "could not bring the key window to the front");
    RECT r{};
    GetWindowRect(window, &r);
    // Wine gives each top-level window an X window of its own, named by its title, and X has no window manager
    // here to move the keyboard's focus: the window that Kestrel's prompt took it for keeps it. So the focus
    // is given to ours by name, and then a click as a user's. Wine's virtual desktop lies at the X screen's
    // origin, so its coordinates are the screen's.
    E2E_REQUIRE(e2e::Xdotool("search --limit 1 --name '^" + e2e::WindowText(window) + "$' windowfocus mousemove " +
                             std::to_string((r.left + r.right) / 2) + " " + std::to_string((r.top + r.bottom) / 2) +
                             " click 1"),
                "xdotool did not click (is it installed?)");
    g_keysDown.clear();
    E2E_REQUIRE(e2e::Xdotool("key alt+Tab alt+Escape ctrl+Escape Super_L a"), "xdotool did not type");
    E2E_REQUIRE(e2e::WaitUntil([] { return Seen('A'); }),
                when + ": the window did not get the keys typed into it, only" + KeysSeen());
}

E2E_TEST(LockTaskKeysKeepsTaskSwitchingKeysFromTheFocusedWindowUntilSwitchedOff) {
    E2E_REQUIRE(e2e::WriteString(HKEY_LOCAL_MACHINE, e2e::kSettingsKey, "LockKeys", "1"), "could not store LockKeys");
    StartWith({});
    drive::RegisterWindowClass("KestrelE2EKeys", KeyWindowProc);
    HWND keys = CreateWindowExA(0, "KestrelE2EKeys", "Kestrel e2e keys", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 150, 150,
                                400, 200, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    E2E_REQUIRE(keys != nullptr, "could not create the key window");
    e2e::TestWindows()[keys] = {};

    TypeTaskKeys(keys, "on");
    E2E_CHECK(!Seen(VK_TAB) && !Seen(VK_ESCAPE) && !Seen(VK_LWIN),
              "with Lock Task Keys on the window got" + std::string(Seen(VK_TAB) ? " Tab" : "") +
                  (Seen(VK_ESCAPE) ? " Esc" : "") + (Seen(VK_LWIN) ? " the Windows key" : ""));
    // The hook is put in place again every few seconds (Windows may take it away unseen): no gap for a key then.
    e2e::Pause(3500);
    TypeTaskKeys(keys, "on, after the hook was renewed");
    E2E_CHECK(!Seen(VK_TAB) && !Seen(VK_ESCAPE) && !Seen(VK_LWIN), "after the hook was renewed the window got keys");

    // Unticked in the setup window and applied: the hook goes.
    HWND main = e2e::MainWindowOf(g_kestrel);
    E2E_REQUIRE(main && e2e::PostCommand(main, kMenuSetup, 0), "could not choose Setup...");
    HWND prompt = e2e::WaitForPrompt(g_kestrel);
    E2E_REQUIRE(prompt && e2e::AnswerPrompt(prompt, "PASSAGE"), "Setup... did not ask for the password");
    E2E_REQUIRE(e2e::WaitUntil([&] { return IsWindowVisible(main) != FALSE; }), "the setup window did not open");
    SendMessageA(e2e::ChildOfClass(main, WC_TABCONTROLA), TCM_SETCURFOCUS, 2, 0);
    HWND box = e2e::ChildWithText(main, "Button", "Lock Task Keys");
    E2E_REQUIRE(box && e2e::Click(box), "no \"Lock Task Keys\" box");
    E2E_REQUIRE(e2e::WaitUntil([&] { return SendMessageA(box, BM_GETCHECK, 0, 0) == BST_UNCHECKED; }),
                "could not untick Lock Task Keys");
    HWND apply = e2e::ChildWithText(main, "Button", "Apply");
    E2E_REQUIRE(apply && e2e::PostCommand(main, static_cast<WORD>(GetDlgCtrlID(apply)), BN_CLICKED, apply),
                "no Apply button");
    E2E_REQUIRE(e2e::WaitUntil([] {
                    const e2e::RawValue v = e2e::ReadRaw(HKEY_LOCAL_MACHINE, e2e::kSettingsKey, "LockKeys");
                    return v.exists && !v.data.empty() && v.data[0] == '0';
                }),
                "Apply did not store LockKeys = 0");

    TypeTaskKeys(keys, "off");
    E2E_CHECK(Seen(VK_TAB) && Seen(VK_ESCAPE) && Seen(VK_LWIN), "with Lock Task Keys off the window missed keys");
}

// A program that does not answer: the request for the foreground would wait for it, so the prompt comes without it
// (and flashes) while the program's window is still on the screen, its hide waiting for the program to answer.
E2E_TEST(ThePromptComesWhileTheLockedProgramDoesNotAnswer) {
    StartWith({{"Item0", "Crime,1"}});
    Helper hung("helper_hung.exe", "\"Crime Stories - Hung\" 20");
    HWND window = nullptr;
    E2E_REQUIRE(e2e::WaitUntil([&] { return (window = FindWindowA(nullptr, "Crime Stories - Hung")) != nullptr; }),
                "helper_hung.exe showed no window");
    HWND prompt = e2e::WaitForPrompt(g_kestrel);
    E2E_CHECK(prompt != nullptr, "no prompt while the program did not answer");
    E2E_CHECK(IsWindowVisible(window) && hung.Running(), "the program answered before the prompt came");
}

// ---------------------------------------------------------------------------------------------------------
// Commands from other programs

E2E_TEST(HiddenMainWindowTakesNoSetupCommandFromOtherPrograms) {
    StartWith({});
    HWND main = e2e::MainWindowOf(g_kestrel);
    E2E_REQUIRE(main, "no main window");
    HWND setPassword = e2e::ChildWithText(main, "Button", "Set Password...");
    E2E_REQUIRE(setPassword, "no \"Set Password...\" button on the setup window");
    e2e::PostCommand(main, static_cast<WORD>(GetDlgCtrlID(setPassword)), BN_CLICKED, setPassword);
    e2e::Click(setPassword);
    e2e::PostCommand(main, IDOK); // the setup window's OK would store the settings
    // A resolution change that does not come from the system, its pointer meaningless in Kestrel, changes nothing.
    PostMessageA(main, WM_DPICHANGED, MAKEWPARAM(144, 144), 0x1234);
    DWORD_PTR answer = 0;
    SendMessageTimeoutA(main, WM_DPICHANGED, MAKEWPARAM(144, 144), 0x1234, SMTO_NORMAL, 5000, &answer);
    E2E_CHECK(e2e::StaysTrue([] { return e2e::TopWindowsOf(g_kestrel, true).empty(); }, 2000),
              "kestrel.exe showed a window for a command posted by another program");
    E2E_CHECK(!e2e::KeyExists(HKEY_LOCAL_MACHINE, e2e::kSettingsKey), "a posted OK stored the settings");
    // The tray menu's own command still goes to the password prompt.
    e2e::PostCommand(main, kMenuSetup, 0);
    E2E_CHECK(e2e::WaitForPrompt(g_kestrel) != nullptr, "Setup... from the tray menu did not ask for the password");
}

} // namespace

E2E_MAIN()
