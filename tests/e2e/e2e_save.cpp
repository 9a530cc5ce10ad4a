// Saving on a machine where the store refuses the running user, as Windows refuses a program without
// administrator rights under HKLM\Software: a deny entry on the store's keys, which Wine enforces as Windows does.
// Also: the store in the 32-bit registry view, changes made there by other programs, a password stored as a number,
// and the modes that set a password (the installer's) or hand out its stored form without the lock.
#include <string>
#include <vector>

#include "app/password_modes.h"
#include "e2e_framework.h"
#include "setup/setup_window.h"
#include "setup_driver.h"

namespace {

using namespace setup_driver;

// The store as seen from the native 64-bit view: the 32-bit view's keys lie below Wow6432Node.
constexpr const char* kRedirectedItemsKey = "Software\\Wow6432Node\\ORV\\Kestrel\\Locked Items";
constexpr const char* kNativeStoreKey = "Software\\ORV\\Kestrel";

bool AnswerMessage(HWND box, int button) {
    return e2e::Click(GetDlgItem(box, button));
}

// The administrator's copy asks for Kestrel's password itself before it writes anything: answered with this one.
// True once it has taken it (its question gone); false when it says the password is wrong.
bool AnswerPasswordQuestion(const std::string& password) {
    HWND question = nullptr;
    E2E_REQUIRE(
        e2e::WaitUntil([&] { return (question = FindWindowA(nullptr, "Kestrel - Password")) != nullptr; }, kSaveWaitMs),
        "the administrator's copy did not ask for Kestrel's password");
    HWND box = e2e::ChildOfClass(question, "Edit");
    E2E_REQUIRE(e2e::SetText(box, password) && e2e::Click(e2e::ChildWithText(question, "Button", "OK")),
                "could not answer the question for the password");
    // A wrong password empties the box (the words may say "Wrong Password!" from an earlier try already).
    return e2e::WaitUntil(
               [&] {
                   return !IsWindow(question) ||
                          (e2e::ControlText(box).empty() && e2e::ChildWithText(question, "Static", "Wrong Password!"));
               },
               kSaveWaitMs) &&
           !IsWindow(question);
}

bool KeyExistsNatively(const std::string& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ | KEY_WOW64_64KEY, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

// Hand-over files left in the temporary folder (which Kestrel and this program share under Wine).
int HandOversLeft() {
    char folder[MAX_PATH + 1] = {};
    GetTempPathA(sizeof folder, folder);
    WIN32_FIND_DATAA found{};
    HANDLE search = FindFirstFileA((std::string(folder) + "kestrel-save-*.tmp").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return 0;
    int count = 0;
    do {
        ++count;
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return count;
}

// Runs a program of the system (reg.exe) and waits for it; its exit code, -1 when it did not run.
long RunAndWait(std::string commandLine) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr,
                        &startup, &info))
        return -1;
    CloseHandle(info.hThread);
    DWORD code = static_cast<DWORD>(-1);
    if (e2e::WaitUntil([&] { return WaitForSingleObject(info.hProcess, 0) == WAIT_OBJECT_0; }, kSaveWaitMs))
        GetExitCodeProcess(info.hProcess, &code);
    CloseHandle(info.hProcess);
    return static_cast<long>(code);
}

// kestrel.exe started with these arguments as from Explorer: with the shell as its parent where the shell has a window
// (Windows), so that it finds no console to ask in. Wine's shell has none: there it is this program's child, which
// Wine has attached to this program's console from the start, so it takes no other and asks with its dialog too.
struct Mode {
    explicit Mode(const std::string& arguments) {
        DWORD shellPid = 0;
        if (HWND shellWindow = GetShellWindow())
            GetWindowThreadProcessId(shellWindow, &shellPid);
        const platform::win32::UniqueHandle shell(shellPid ? OpenProcess(PROCESS_CREATE_PROCESS, FALSE, shellPid)
                                                           : nullptr);
        HANDLE parent = shell.get();
        STARTUPINFOEXA startup{};
        startup.StartupInfo.cb = sizeof startup;
        std::vector<char> attributes;
        auto* list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(attributes.data());
        bool listMade = false;
        if (parent) {
            SIZE_T size = 0;
            InitializeProcThreadAttributeList(nullptr, 1, 0, &size); // how much it needs
            attributes.resize(size);
            list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(attributes.data());
            listMade = InitializeProcThreadAttributeList(list, 1, 0, &size) != FALSE;
            if (listMade && UpdateProcThreadAttribute(list, 0, PROC_THREAD_ATTRIBUTE_PARENT_PROCESS, &parent,
                                                      sizeof parent, nullptr, nullptr))
                startup.lpAttributeList = list;
        }
        std::string line = "\"" + e2e::KestrelPath() + "\" " + arguments;
        PROCESS_INFORMATION info{};
        const bool started = CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE,
                                            startup.lpAttributeList ? EXTENDED_STARTUPINFO_PRESENT : 0, nullptr,
                                            nullptr, &startup.StartupInfo, &info);
        if (listMade)
            DeleteProcThreadAttributeList(list);
        E2E_REQUIRE(started, "could not start kestrel.exe " + arguments);
        CloseHandle(info.hThread);
        process.reset(info.hProcess);
        pid = info.dwProcessId;
    }
    // The exit code, once it has ended; -1 when it runs on for long.
    long ExitCode() const {
        DWORD code = static_cast<DWORD>(-1);
        if (!e2e::WaitUntil([&] { return WaitForSingleObject(process.get(), 0) == WAIT_OBJECT_0; }, kSaveWaitMs) ||
            !GetExitCodeProcess(process.get(), &code))
            return -1;
        return static_cast<long>(code);
    }
    HWND Dialog() const {
        HWND dialog = e2e::WaitForSetPassword(pid, kSaveWaitMs);
        E2E_REQUIRE(dialog, "kestrel.exe showed no Set Password dialog");
        return dialog;
    }

    platform::win32::UniqueHandle process;
    DWORD pid = 0;
};

// The text of the clipboard; "" when it holds none.
std::string ClipboardText() {
    std::string text;
    if (!OpenClipboard(nullptr))
        return text;
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        if (const auto* wide = static_cast<const wchar_t*>(GlobalLock(data))) {
            text = drive::Utf8(wide, lstrlenW(wide));
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    return text;
}

// The new password, checked at the prompt: the wrong one is refused, the right one opens the setup window.
void ExpectPassword(const Kestrel& k, const std::string& refused, const std::string& right) {
    E2E_REQUIRE(e2e::PostCommand(k.main, kMenuSetup, 0), "could not choose Setup...");
    HWND prompt = WaitForPrompt(k.pid);
    E2E_REQUIRE(prompt, "no prompt");
    HWND box = e2e::ChildOfClass(prompt, "Edit");
    E2E_REQUIRE(e2e::SetText(box, refused), "could not type into the prompt");
    E2E_REQUIRE(PressAndWait(e2e::ChildWithText(prompt, "Button", "OK")), "could not press OK on the prompt");
    E2E_CHECK(IsWindowVisible(prompt) && !IsWindowVisible(k.main), refused + " was not refused");
    Answer(prompt, right);
    E2E_CHECK(e2e::WaitUntil([&] { return IsWindowVisible(k.main) != FALSE; }, kSaveWaitMs), right + " was refused");
}

// ---------------------------------------------------------------------------------------------------------
// Tests

E2E_TEST(ARefusedSaveKeepsTheEditsAndTheAdministratorCopySavesThem) {
    Kestrel k = Start({{"Item0", "Crime,1"}});
    OpenSetup(k);
    // The parent's edits: an item and a new password.
    AddItemThroughDialog(k, "Poker");
    SelectTab(k.main, 1);
    Press(k.main, "Button", "Set Password...");
    HWND dialog = WaitForWindow(k.pid, "Set Password");
    E2E_REQUIRE(dialog, "the set-password dialog did not open");
    for (HWND box : e2e::ChildrenOfClass(dialog, "Edit"))
        e2e::SetText(box, "Kite9");
    E2E_REQUIRE(e2e::Click(e2e::ChildWithText(dialog, "Button", "OK")), "no OK on the set-password dialog");
    E2E_REQUIRE(e2e::WaitUntil([&] { return !IsWindow(dialog) && EnabledNow(k.main); }, kSaveWaitMs),
                "the set-password dialog stayed");
    SelectTab(k.main, 0);

    StoreRefused refused;
    Press(k.main, "Button", "OK");
    HWND question = WaitForMessage(k.pid, setup::kAdministratorQuestion);
    E2E_REQUIRE(question, "no offer to save as an administrator");
    E2E_CHECK(GetWindow(question, GW_OWNER) == k.main, "the message is not owned by the setup window");
    E2E_CHECK(IsWindowVisible(k.main), "the setup window is not visible again");
    E2E_CHECK(ListTexts(ItemList(k.main)) == (std::vector<std::string>{"Crime", "Poker"}),
              "the edits are gone: " + Joined(ListTexts(ItemList(k.main))));
    E2E_CHECK(StoredItems() == std::vector<std::string>{"Crime,1"}, "the store changed: " + Joined(StoredItems()));
    E2E_CHECK(Stored(kSettingsKey, "Auth1") == "(missing)", "Auth1 was stored");
    e2e::SaveScreenshot("save-refused-offer");

    // Under Wine the copy runs without a consent prompt and with the same rights: refused too, it saves nothing,
    // and the edits wait for the next try.
    E2E_REQUIRE(AnswerMessage(question, IDYES), "no Yes on the offer");
    E2E_CHECK(!AnswerPasswordQuestion("Kite9"), "the administrator's copy took a password that is not stored yet");
    E2E_CHECK(AnswerPasswordQuestion("PASSAGE"), "the administrator's copy did not take the stored password");
    HWND failed = WaitForMessage(k.pid, "Your changes are not saved: Kestrel with administrator rights could not save "
                                        "them (the registry refused the change, error 5).\n\n" +
                                            std::string(setup::kChangesKept));
    E2E_REQUIRE(failed, "no word that the administrator's copy did not save");
    e2e::SaveScreenshot("save-administrator-copy-refused");
    E2E_REQUIRE(AnswerMessage(failed, IDOK), "no OK on the message");
    E2E_CHECK(e2e::WaitUntil([&] { return !IsWindow(failed) && EnabledNow(k.main); }), "the setup window stays off");
    E2E_CHECK(ListTexts(ItemList(k.main)) == (std::vector<std::string>{"Crime", "Poker"}),
              "the edits are gone: " + Joined(ListTexts(ItemList(k.main))));
    E2E_CHECK(StoredItems() == std::vector<std::string>{"Crime,1"}, "the store changed: " + Joined(StoredItems()));
    e2e::SaveScreenshot("save-refused-window");

    // Again, now with the rights an administrator's consent gives.
    Press(k.main, "Button", "OK");
    question = WaitForMessage(k.pid, setup::kAdministratorQuestion);
    E2E_REQUIRE(question, "no offer the second time");
    refused.Lift();
    E2E_REQUIRE(AnswerMessage(question, IDYES), "no Yes on the offer");
    E2E_CHECK(AnswerPasswordQuestion("PASSAGE"), "the administrator's copy did not take the stored password");
    HWND saved = WaitForMessage(k.pid, setup::kChangesSaved);
    E2E_REQUIRE(saved, "no word that the changes are saved");
    e2e::SaveScreenshot("save-saved-as-administrator");
    E2E_CHECK(StoredItems() == (std::vector<std::string>{"Crime,1", "Poker,0"}), "stored " + Joined(StoredItems()));
    E2E_CHECK(Stored(kSettingsKey, "Auth1").rfind("pbkdf2-sha256$", 0) == 0,
              "Auth1 holds no hash: " + Stored(kSettingsKey, "Auth1"));
    E2E_CHECK(e2e::KestrelProcessTree() == std::vector<DWORD>{k.pid}, "the administrator's copy is still running");
    E2E_CHECK(HandOversLeft() == 0, "a hand-over file was left behind");
    // The store is where the earlier 32-bit releases kept it, and nowhere else.
    E2E_CHECK(e2e::ReadRaw(HKEY_LOCAL_MACHINE, kRedirectedItemsKey, "Item1").exists &&
                  !KeyExistsNatively(kNativeStoreKey),
              "the store is not in the 32-bit view");

    E2E_REQUIRE(AnswerMessage(saved, IDOK), "no OK on the message");
    E2E_CHECK(e2e::WaitUntil([&] { return !IsWindowVisible(k.main); }), "OK did not hide the setup window at last");
    ExpectPassword(k, "PASSAGE", "Kite9");
}

// The items are stored, the settings refused: the lock goes on with what the store holds, the built-in rules of its
// options included, never with nothing.
E2E_TEST(ASaveRefusedHalfWayKeepsTheLockGoing) {
    E2E_REQUIRE(e2e::WriteString(HKEY_LOCAL_MACHINE, kSettingsKey, "LockInstall", "1"), "could not store the option");
    Kestrel k = Start({{"Item0", "Crime,1"}});
    OpenSetup(k);
    AddItemThroughDialog(k, "Poker");
    StoreRefused refused({kSettingsKey});
    Press(k.main, "Button", "OK");
    HWND question = WaitForMessage(k.pid, setup::kAdministratorQuestion);
    E2E_REQUIRE(question, "the refusal was not reported");
    E2E_REQUIRE(AnswerMessage(question, IDNO), "could not answer the question");
    E2E_CHECK(StoredItems() == (std::vector<std::string>{"Crime,1", "Poker,0"}), "stored: " + Joined(StoredItems()));
    E2E_CHECK(Locks("Crime Stories - Browser"), "the stored item no longer locks");
    E2E_CHECK(Locks("Setup - Foo"), "the stored installer lock no longer locks");
}

E2E_TEST(AnItemAddedWithRegWhileKestrelRunsLocksSoon) {
    Start({{"Item0", "Crime,1"}});
    const long code = RunAndWait("reg.exe add \"HKLM\\Software\\ORV\\Kestrel\\Locked Items\" /v Item1 /d \"Casino,1\" "
                                 "/f /reg:32");
    E2E_REQUIRE(code == 0, "reg add ended with " + std::to_string(code));
    E2E_CHECK(e2e::ReadRaw(HKEY_LOCAL_MACHINE, kRedirectedItemsKey, "Item1").exists, "reg /reg:32 wrote elsewhere");
    HWND casino = e2e::CreateTestWindow("Casino Royale - Browser");
    E2E_CHECK(e2e::WaitUntil([&] { return !IsWindowVisible(casino); }), "the new item does not lock");
}

E2E_TEST(APasswordStoredAsANumberIsStoredAsTextByOk) {
    E2E_REQUIRE(e2e::WriteDword(HKEY_LOCAL_MACHINE, kSettingsKey, "Auth1", 1234), "could not store Auth1");
    Kestrel k = Start({});
    OpenSetup(k, "1234");
    Press(k.main, "Button", "OK");
    E2E_CHECK(e2e::WaitUntil(
                  [] {
                      const e2e::RawValue auth = e2e::ReadRaw(HKEY_LOCAL_MACHINE, kSettingsKey, "Auth1");
                      return auth.type == REG_SZ && Stored(kSettingsKey, "Auth1").rfind("pbkdf2-sha256$", 0) == 0;
                  },
                  kSaveWaitMs),
              "Auth1 is no hash text: [" + e2e::Hex(e2e::ReadRaw(HKEY_LOCAL_MACHINE, kSettingsKey, "Auth1").data) +
                  "]");
    ExpectPassword(k, "0", "1234");
}

// kestrel.exe /setpassword, as the installer runs it: Kestrel's own dialog and store, nothing of the lock. It asks only
// while the default password is stored, unless told /always.
E2E_TEST(SetPasswordModeStoresANewPasswordOverTheDefaultOnly) {
    Mode first("/setpassword");
    HWND dialog = first.Dialog();
    E2E_CHECK(e2e::MainWindowOf(first.pid) == nullptr, "the lock's main window was made");
    e2e::Pause(500); // painted
    e2e::SaveScreenshot("setpassword-mode", dialog);
    E2E_REQUIRE(e2e::AnswerSetPassword(dialog, "Kite9"), "could not answer the dialog");
    E2E_CHECK(first.ExitCode() == app::kPasswordDone, "stored, it ended with " + std::to_string(first.ExitCode()));
    E2E_CHECK(e2e::StoredPasswordIs("Kite9"),
              "Auth1 is not the hash of the new password: " + Stored(kSettingsKey, "Auth1"));

    // Over a password set it asks nothing: it ends by itself.
    Mode again("/setpassword");
    E2E_CHECK(again.ExitCode() == app::kPasswordAlreadySet,
              "over a password set, it ended with " + std::to_string(again.ExitCode()));

    Mode cancelled("/setpassword /always");
    E2E_REQUIRE(e2e::AnswerSetPassword(cancelled.Dialog(), "Owl3", "Cancel"), "could not cancel the dialog");
    E2E_CHECK(cancelled.ExitCode() == app::kPasswordCancelled,
              "cancelled, it ended with " + std::to_string(cancelled.ExitCode()));
    E2E_CHECK(e2e::StoredPasswordIs("Kite9"), "the password stored changed");
}

// kestrel.exe /hash started without a console: the stored form of the password typed in the dialog on the clipboard,
// nothing stored.
E2E_TEST(HashModePutsTheStoredFormOnTheClipboard) {
    Mode hash("/hash");
    E2E_REQUIRE(e2e::AnswerSetPassword(hash.Dialog(), "Falcon9"), "could not answer the dialog");
    HWND told = WaitForMessage(hash.pid, "The stored form of the password is on the clipboard.\n\nIt goes into the "
                                         "registry at " +
                                             app::StoredFormPlace() + ".");
    E2E_REQUIRE(told, "no word that the stored form is on the clipboard");
    e2e::SaveScreenshot("hash-mode-copied", told);
    const std::string copied = ClipboardText();
    E2E_REQUIRE(AnswerMessage(told, IDOK), "no OK on the message");
    E2E_CHECK(hash.ExitCode() == app::kPasswordDone, "it ended with " + std::to_string(hash.ExitCode()));
    E2E_CHECK(Stored(kSettingsKey, "Auth1") == "(missing)", "/hash stored a password");
    // Pasted where Kestrel keeps its password, it is the password typed.
    E2E_REQUIRE(e2e::WriteString(HKEY_LOCAL_MACHINE, kSettingsKey, "Auth1", copied), "could not store the copied text");
    E2E_CHECK(e2e::StoredPasswordIs("Falcon9"), "the clipboard holds no stored form of the password: " + copied);
}

} // namespace

E2E_MAIN()
