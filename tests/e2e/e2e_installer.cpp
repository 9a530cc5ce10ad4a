// The installer as a parent uses it, silently: kestrel-setup-<version>.exe /S puts Kestrel into Program Files and
// registers it to start at every logon; the uninstaller /S stops the running lock and removes everything but
// the stored password, settings and locked items, which a reinstall finds again.
//
// The installer is built next to this program (build/windows/kestrel-setup-<version>.exe, by the `installer`
// target, which needs makensis). Every test starts and ends without an installation.
#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "e2e_framework.h"

#include <tlhelp32.h>
#include "version.h"

namespace {

constexpr const char* kRunKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr const char* kUninstallKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Kestrel";
constexpr const char* kRunValue = "Kestrel";
// Unpacking and writing take a few seconds under Wine; a slow shared machine gets plenty more.
constexpr DWORD kSetupTimeoutMs = 120000;

std::string SetupPath() {
    return e2e::ExeDir() + "kestrel-setup-" KESTREL_VERSION_STRING ".exe";
}

std::string InstallDir() {
    char buf[MAX_PATH] = {};
    // The 64-bit Program Files, whatever view this process has.
    DWORD n = GetEnvironmentVariableA("ProgramW6432", buf, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        n = GetEnvironmentVariableA("ProgramFiles", buf, MAX_PATH);
    return std::string(buf, n < MAX_PATH ? n : 0) + "\\Kestrel";
}

std::string InstalledExe() {
    return InstallDir() + "\\kestrel.exe";
}
std::string InstalledUninstaller() {
    return InstallDir() + "\\uninstall.exe";
}

bool FileExists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

long long FileSize(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data))
        return -1;
    return (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// A REG_SZ as text (without the terminating NUL); "<missing>" when there is none, "<type N>" for other types.
std::string ReadText(HKEY root, const std::string& path, const std::string& name) {
    e2e::RawValue value = e2e::ReadRaw(root, path, name);
    if (!value.exists)
        return "<missing>";
    if (value.type != REG_SZ)
        return "<type " + std::to_string(value.type) + ">";
    std::string text(value.data.begin(), value.data.end());
    while (!text.empty() && text.back() == '\0')
        text.pop_back();
    return text;
}

bool ValueExists(HKEY root, const std::string& path, const std::string& name) {
    return e2e::ReadRaw(root, path, name).exists;
}

// Runs a command line, as a logon or the list of installed programs would, and waits for it; its exit code,
// or -1 when it could not be started or did not finish in time.
long RunAndWait(const std::string& commandLine, DWORD timeoutMs = kSetupTimeoutMs) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    std::string line = commandLine;
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
        return -1;
    CloseHandle(info.hThread);
    DWORD code = static_cast<DWORD>(-1);
    bool done = false;
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    while (!done && GetTickCount64() < end) {
        e2e::PumpMessages();
        done = WaitForSingleObject(info.hProcess, 50) == WAIT_OBJECT_0;
    }
    if (done)
        GetExitCodeProcess(info.hProcess, &code);
    CloseHandle(info.hProcess);
    return done ? static_cast<long>(code) : -1;
}

// Starts a command line without waiting; the process id, 0 on failure.
DWORD Start(const std::string& commandLine) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    std::string line = commandLine;
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
        return 0;
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    return info.dwProcessId;
}

// Takes away whatever an installation left, without the uninstaller: before a test, and after it, so that no
// later program of the run finds a Kestrel registered to start.
void RemoveInstallation() {
    e2e::KillKestrel();
    DeleteFileA(InstalledExe().c_str());
    DeleteFileA(InstalledUninstaller().c_str());
    RemoveDirectoryA(InstallDir().c_str());
    HKEY run = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kRunKey, 0, KEY_SET_VALUE, &run) == ERROR_SUCCESS) {
        RegDeleteValueA(run, kRunValue);
        RegCloseKey(run);
    }
    e2e::DeleteTree(HKEY_LOCAL_MACHINE, kUninstallKey);
}

struct CleanInstallation {
    CleanInstallation() { RemoveInstallation(); }
    ~CleanInstallation() { RemoveInstallation(); }
    CleanInstallation(const CleanInstallation&) = delete;
    CleanInstallation& operator=(const CleanInstallation&) = delete;
};

void InstallSilently() {
    E2E_REQUIRE(FileExists(SetupPath()), "no installer " + SetupPath() + " (is makensis installed?)");
    const long code = RunAndWait("\"" + SetupPath() + "\" /S");
    E2E_REQUIRE(code == 0, "the silent install ended with " + std::to_string(code));
}

// Runs the uninstall command the list of installed programs offers for a silent uninstall. The uninstaller
// hands its work to a copy of itself in the temporary folder and returns at once (so that it can delete its
// own file); the copy removes the uninstall entry last, so its absence means the work is done.
void UninstallSilently() {
    const std::string command = ReadText(HKEY_LOCAL_MACHINE, kUninstallKey, "QuietUninstallString");
    E2E_REQUIRE(command.find("uninstall.exe") != std::string::npos, "no quiet uninstall command: " + command);
    const long code = RunAndWait(command);
    E2E_REQUIRE(code == 0, "the silent uninstall ended with " + std::to_string(code));
    E2E_REQUIRE(e2e::WaitUntil([] { return !e2e::KeyExists(HKEY_LOCAL_MACHINE, kUninstallKey); }, 60000),
                "the uninstall entry is still there a minute later");
}

// Starts Kestrel the way a logon does, from the Run entry's command line, and waits until it runs.
DWORD StartFromRunEntry() {
    const std::string command = ReadText(HKEY_LOCAL_MACHINE, kRunKey, kRunValue);
    DWORD pid = Start(command);
    E2E_REQUIRE(pid != 0, "the Run entry's command does not start: " + command);
    E2E_REQUIRE(e2e::WaitUntil([pid] { return e2e::FindWindowOf(pid, e2e::kRunningCaption) != nullptr; }, 30000),
                "Kestrel started from the Run entry did not come up as \"Kestrel 2004\"");
    return pid;
}

using Snapshot = std::vector<std::pair<std::string, e2e::RawValue>>;

Snapshot TakeSnapshot(const std::vector<std::pair<std::string, std::string>>& values) {
    Snapshot snapshot;
    for (const auto& [key, name] : values)
        snapshot.emplace_back(key + "\\" + name, e2e::ReadRaw(HKEY_LOCAL_MACHINE, key, name));
    return snapshot;
}

void ExpectSameStore(const Snapshot& before, const Snapshot& now, const std::string& when) {
    for (std::size_t i = 0; i < before.size() && i < now.size(); ++i) {
        const auto& [name, was] = before[i];
        const auto& is = now[i].second;
        E2E_CHECK(is.exists && is.type == was.type && is.data == was.data,
                  when + ": " + name + " was " + e2e::Hex(was.data) + ", is " +
                      (is.exists ? e2e::Hex(is.data) : std::string("missing")));
    }
}

E2E_TEST(SilentInstallPutsKestrelInProgramFilesAndStartsItAtLogon) {
    CleanInstallation clean;
    InstallSilently();

    E2E_CHECK(FileExists(InstalledExe()), "no " + InstalledExe());
    E2E_CHECK(FileSize(InstalledExe()) == FileSize(e2e::ExeDir() + e2e::kKestrelImage),
              "the installed kestrel.exe is not the one built");
    E2E_CHECK(FileExists(InstalledUninstaller()), "no " + InstalledUninstaller());
    E2E_CHECK(ReadText(HKEY_LOCAL_MACHINE, kRunKey, kRunValue) == "\"" + InstalledExe() + "\"",
              "the Run entry is " + ReadText(HKEY_LOCAL_MACHINE, kRunKey, kRunValue));

    // The entry in the list of installed programs.
    const std::vector<std::pair<const char*, std::string>> entry = {
        {"DisplayName", "Kestrel"},
        {"DisplayVersion", KESTREL_VERSION_STRING},
        {"Publisher", "ORV"},
        {"DisplayIcon", InstalledExe() + ",0"},
        {"UninstallString", "\"" + InstalledUninstaller() + "\""},
        {"QuietUninstallString", "\"" + InstalledUninstaller() + "\" /S"},
    };
    for (const auto& [name, expected] : entry) {
        const std::string actual = ReadText(HKEY_LOCAL_MACHINE, kUninstallKey, name);
        E2E_CHECK(actual == expected, std::string(name) + " is " + actual + ", expected " + expected);
    }
    const e2e::RawValue size = e2e::ReadRaw(HKEY_LOCAL_MACHINE, kUninstallKey, "EstimatedSize");
    DWORD kb = 0;
    if (size.exists && size.type == REG_DWORD && size.data.size() == sizeof kb)
        std::memcpy(&kb, size.data.data(), 4);
    E2E_CHECK(kb >= FileSize(InstalledExe()) / 1024, "EstimatedSize is not the size in KB: " + e2e::Hex(size.data));

    // A silent install leaves the start to the next logon.
    E2E_CHECK(e2e::StaysTrue([] { return e2e::KestrelProcessTree().empty(); }, 1500),
              "the silent install started kestrel.exe");
    // What a logon runs: the path has a blank in it, so the command must be quoted to start anything.
    StartFromRunEntry();
}

E2E_TEST(SilentUninstallStopsKestrelAndRemovesIt) {
    CleanInstallation clean;
    InstallSilently();
    const DWORD pid = StartFromRunEntry();

    UninstallSilently();

    E2E_CHECK(e2e::WaitUntil([pid] { return !e2e::IsRunning(pid); }), "the running Kestrel was not stopped");
    E2E_CHECK(e2e::WaitUntil([] { return !FileExists(InstallDir()); }), InstallDir() + " is still there");
    E2E_CHECK(!FileExists(InstalledExe()), "kestrel.exe is still there");
    E2E_CHECK(!ValueExists(HKEY_LOCAL_MACHINE, kRunKey, kRunValue), "the Run entry is still there");
    // The file-type association belongs to the product family, not to Kestrel alone.
    E2E_CHECK(e2e::KeyExists(HKEY_CLASSES_ROOT, ".loc"), "the uninstall removed the family's .loc association");
}

E2E_TEST(StoredItemsSurviveSilentUninstallAndReinstall) {
    CleanInstallation clean;
    E2E_REQUIRE(e2e::SetLockedItems({{"Item0", "Crime,1"}, {"Item1", "Poker, Texas,0"}}), "could not store items");
    E2E_REQUIRE(e2e::WriteString(HKEY_LOCAL_MACHINE, e2e::kSettingsKey, "LockInstall", "1"),
                "could not store a setting");
    const std::vector<std::pair<std::string, std::string>> stored = {
        {e2e::kLockedItemsKey, "Item0"}, {e2e::kLockedItemsKey, "Item1"}, {e2e::kSettingsKey, "LockInstall"}};
    const Snapshot before = TakeSnapshot(stored);

    InstallSilently();
    UninstallSilently();
    ExpectSameStore(before, TakeSnapshot(stored), "after the uninstall");

    InstallSilently();
    ExpectSameStore(before, TakeSnapshot(stored), "after the reinstall");

    // And the reinstalled lock works from them.
    StartFromRunEntry();
    HWND browser = e2e::CreateTestWindow("Crime Stories - Browser");
    E2E_REQUIRE(browser != nullptr, "could not create a window");
    E2E_CHECK(e2e::WaitUntil([&] { return !IsWindowVisible(browser); }, 5000),
              "the reinstalled Kestrel did not lock the stored item");
}

// The parent of a running process; 0 when it is not found.
DWORD ParentOf(DWORD pid) {
    const platform::win32::UniqueHandle snap(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = snap && Process32First(snap.get(), &entry); more; more = Process32Next(snap.get(), &entry))
        if (entry.th32ProcessID == pid)
            return entry.th32ParentProcessID;
    return 0;
}

std::string WithoutAccelerator(std::string text) {
    text.erase(std::remove(text.begin(), text.end(), '&'), text.end());
    return text;
}

// Through the wizard as a parent goes: Next, Install, and Finish with "Start Kestrel now" ticked. Kestrel is
// started by the user's shell, not by the installer, whose elevation it would inherit (Wine shows no elevation:
// that it runs, and not as the installer's child, is what can be seen here).
E2E_TEST(FinishPageStartsKestrelThroughTheUsersShell) {
    CleanInstallation clean;
    E2E_REQUIRE(FileExists(SetupPath()), "no installer " + SetupPath() + " (is makensis installed?)");
    const DWORD setup = Start("\"" + SetupPath() + "\"");
    E2E_REQUIRE(setup != 0, "the installer did not start");
    HWND wizard = nullptr;
    E2E_REQUIRE(e2e::WaitUntil(
                    [&] {
                        return (wizard = e2e::FindWindowOf(setup, "Kestrel " KESTREL_VERSION_STRING " Setup", true));
                    },
                    60000),
                "no installer window");
    // The wizard's button 1 is Next, then Install, then (once the files are in) Finish.
    E2E_REQUIRE(e2e::WaitUntil(
                    [&] {
                        HWND button = GetDlgItem(wizard, IDOK);
                        if (WithoutAccelerator(e2e::ControlText(button)) == "Finish")
                            return true;
                        if (IsWindowEnabled(button)) {
                            e2e::Click(button);
                            e2e::Pause(500);
                        }
                        return false;
                    },
                    kSetupTimeoutMs),
                "the wizard did not come to its finish page");
    E2E_REQUIRE(e2e::Click(GetDlgItem(wizard, IDOK)), "could not press Finish");
    HWND main = nullptr;
    E2E_REQUIRE(e2e::WaitUntil([&] { return (main = e2e::FindWindowOf(0, e2e::kRunningCaption)) != nullptr; }, 30000),
                "the finish page did not start Kestrel");
    DWORD pid = 0;
    GetWindowThreadProcessId(main, &pid);
    E2E_CHECK(ParentOf(pid) != setup, "Kestrel was started by the installer itself");
}

} // namespace

E2E_MAIN()
