#pragma once
// What the installer tests share: where an installation lands, running an installer and waiting for it, what it
// must register (the logon start and the event source) and what it must leave alone (the parent's store).
// Both packages, kestrel-setup-<version>.exe and kestrel-<version>.msi, install the same things in the same
// places. Every test starts and ends without an installation (CleanInstallation).
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "e2e_framework.h"
#include "kestrel_events.h"
#include "version.h"

namespace installation {

constexpr const char* kRunKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr const char* kRunValue = "Kestrel";
constexpr const char* kEventSourceKey = "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\Kestrel";
// The NSIS installer's entry in the list of installed programs (Windows Installer keeps its own).
constexpr const char* kUninstallKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Kestrel";
// Unpacking and writing take a few seconds under Wine; a slow shared machine gets plenty more.
constexpr DWORD kSetupTimeoutMs = 120000;

inline std::string InstallDir() {
    char buf[MAX_PATH] = {};
    // The 64-bit Program Files, whatever view this process has.
    DWORD n = GetEnvironmentVariableA("ProgramW6432", buf, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        n = GetEnvironmentVariableA("ProgramFiles", buf, MAX_PATH);
    return std::string(buf, n < MAX_PATH ? n : 0) + "\\Kestrel";
}

inline std::string InstalledExe() {
    return InstallDir() + "\\kestrel.exe";
}
inline std::string InstalledGuard() {
    return InstallDir() + "\\kestrel-guard.exe";
}
inline std::string InstalledUninstaller() {
    return InstallDir() + "\\uninstall.exe";
}
// The user's guide and the folder of its pictures.
inline std::string InstalledGuide() {
    return InstallDir() + "\\kestrel-guide.html";
}
inline std::string InstalledGuidePictures() {
    return InstallDir() + "\\kestrel-guide";
}

inline bool FileExists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

inline long long FileSize(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data))
        return -1;
    return (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// A string value of that type as text (without the terminating NUL); "<missing>" when there is none,
// "<type N>" when it has another type.
inline std::string ReadText(HKEY root, const std::string& path, const std::string& name, DWORD type = REG_SZ) {
    e2e::RawValue value = e2e::ReadRaw(root, path, name);
    if (!value.exists)
        return "<missing>";
    if (value.type != type)
        return "<type " + std::to_string(value.type) + ">";
    std::string text(value.data.begin(), value.data.end());
    while (!text.empty() && text.back() == '\0')
        text.pop_back();
    return text;
}

inline bool ValueExists(HKEY root, const std::string& path, const std::string& name) {
    return e2e::ReadRaw(root, path, name).exists;
}

// Starts a command line without waiting; the process handle (the caller closes it), nullptr on failure.
inline HANDLE StartProcess(const std::string& commandLine) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    std::string line = commandLine;
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
        return nullptr;
    CloseHandle(info.hThread);
    return info.hProcess;
}

// Runs a command line, as a logon or the list of installed programs would, and waits for it; its exit code,
// or -1 when it could not be started or did not finish in time.
inline long RunAndWait(const std::string& commandLine, DWORD timeoutMs = kSetupTimeoutMs) {
    HANDLE process = StartProcess(commandLine);
    if (!process)
        return -1;
    DWORD code = static_cast<DWORD>(-1);
    const bool done = e2e::WaitUntil([process] { return WaitForSingleObject(process, 0) == WAIT_OBJECT_0; }, timeoutMs);
    if (done)
        GetExitCodeProcess(process, &code);
    CloseHandle(process);
    return done ? static_cast<long>(code) : -1;
}

// ---------------------------------------------------------------------------------------------------------
// The NSIS installer, built next to the test programs (by the `installer` target, which needs makensis).

inline std::string SetupPath() {
    return e2e::ExeDir() + "kestrel-setup-" KESTREL_VERSION_STRING ".exe";
}

// Installs silently, with these options (e.g. "/NOGUARD").
inline void InstallSilently(const std::string& options = "") {
    E2E_REQUIRE(FileExists(SetupPath()), "no installer " + SetupPath() + " (is makensis installed?)");
    const long code = RunAndWait("\"" + SetupPath() + "\" /S" + (options.empty() ? "" : " " + options));
    E2E_REQUIRE(code == 0, "the silent install ended with " + std::to_string(code));
}

// Runs the uninstall command the list of installed programs offers for a silent uninstall. The uninstaller
// hands its work to a copy of itself in the temporary folder and returns at once (so that it can delete its
// own file); the copy removes the uninstall entry last, so its absence means the work is done.
inline void UninstallSilently() {
    const std::string command = ReadText(HKEY_LOCAL_MACHINE, kUninstallKey, "QuietUninstallString");
    E2E_REQUIRE(command.find("uninstall.exe") != std::string::npos, "no quiet uninstall command: " + command);
    const long code = RunAndWait(command);
    E2E_REQUIRE(code == 0, "the silent uninstall ended with " + std::to_string(code));
    E2E_REQUIRE(e2e::WaitUntil([] { return !e2e::KeyExists(HKEY_LOCAL_MACHINE, kUninstallKey); }, 60000),
                "the uninstall entry is still there a minute later");
}

// Starts Kestrel the way a logon does, from the Run entry's command line, and waits until it runs.
inline DWORD StartFromRunEntry() {
    const std::string command = ReadText(HKEY_LOCAL_MACHINE, kRunKey, kRunValue);
    HANDLE process = StartProcess(command);
    E2E_REQUIRE(process != nullptr, "the Run entry's command does not start: " + command);
    const DWORD pid = GetProcessId(process);
    CloseHandle(process);
    E2E_REQUIRE(e2e::WaitUntil([pid] { return e2e::FindWindowOf(pid, e2e::kRunningCaption) != nullptr; }, 30000),
                "Kestrel started from the Run entry did not come up as \"Kestrel 2004\"");
    return pid;
}

// What Event Viewer shows for an event: the sentence from the registered message file with the inserts put in;
// "" when there is none.
inline std::string EventSentence(const std::string& messageFile, DWORD messageId,
                                 const std::vector<const char*>& inserts) {
    HMODULE module = LoadLibraryExA(messageFile.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!module)
        return "";
    std::vector<DWORD_PTR> arguments;
    for (const char* insert : inserts)
        arguments.push_back(reinterpret_cast<DWORD_PTR>(insert));
    char* text = nullptr;
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_ARGUMENT_ARRAY | FORMAT_MESSAGE_ALLOCATE_BUFFER, module, messageId,
        0, reinterpret_cast<char*>(&text), 0, reinterpret_cast<va_list*>(arguments.data()));
    std::string sentence(text ? text : "", text ? length : 0);
    LocalFree(text);
    FreeLibrary(module);
    return sentence;
}

// The Application log knows the source "Kestrel" and finds its sentences in the installed kestrel.exe.
inline void ExpectEventSourceRegistered() {
    const std::string messageFile = ReadText(HKEY_LOCAL_MACHINE, kEventSourceKey, "EventMessageFile", REG_EXPAND_SZ);
    E2E_CHECK(messageFile == InstalledExe(), "the event source's EventMessageFile is " + messageFile);
    const e2e::RawValue types = e2e::ReadRaw(HKEY_LOCAL_MACHINE, kEventSourceKey, "TypesSupported");
    const std::vector<BYTE> seven = {7, 0, 0, 0};
    E2E_CHECK(types.exists && types.type == REG_DWORD && types.data == seven,
              "TypesSupported is not the DWORD 7: " + e2e::Hex(types.data));
    const std::string sentence =
        EventSentence(messageFile, KESTREL_EVENT_WINDOW_LOCKED, {"Crime Stories - Browser", "Crime"});
    E2E_CHECK(sentence.find("\"Crime Stories - Browser\"") != std::string::npos &&
                  sentence.find("\"Crime\"") != std::string::npos,
              "the message file gives no sentence for a locked window: \"" + sentence + "\"");
}

// What is left after an uninstall: nothing of the program and its registrations.
inline void ExpectNothingInstalled() {
    E2E_CHECK(e2e::WaitUntil([] { return !FileExists(InstallDir()); }), InstallDir() + " is still there");
    E2E_CHECK(!FileExists(InstalledExe()), "kestrel.exe is still there");
    E2E_CHECK(!ValueExists(HKEY_LOCAL_MACHINE, kRunKey, kRunValue), "the Run entry is still there");
    E2E_CHECK(!e2e::KeyExists(HKEY_LOCAL_MACHINE, kEventSourceKey), "the event source is still registered");
}

// ---------------------------------------------------------------------------------------------------------
// The parent's store, which no install or uninstall may touch: written before, compared after, byte for byte.

using StoreSnapshot = std::vector<std::pair<std::string, e2e::RawValue>>;

inline StoreSnapshot TakeStoreSnapshot() {
    const std::pair<std::string, std::string> values[] = {
        {e2e::kLockedItemsKey, "Item0"}, {e2e::kLockedItemsKey, "Item1"}, {e2e::kSettingsKey, "LockInstall"}};
    StoreSnapshot snapshot;
    for (const auto& [key, name] : values)
        snapshot.emplace_back(key + "\\" + name, e2e::ReadRaw(HKEY_LOCAL_MACHINE, key, name));
    return snapshot;
}

// Stores two items ("Crime" ticked) and an option as Kestrel would; returns what was stored.
inline StoreSnapshot WriteParentsStore() {
    E2E_REQUIRE(e2e::SetLockedItems({{"Item0", "Crime,1"}, {"Item1", "Poker, Texas,0"}}), "could not store items");
    E2E_REQUIRE(e2e::WriteString(HKEY_LOCAL_MACHINE, e2e::kSettingsKey, "LockInstall", "1"),
                "could not store a setting");
    return TakeStoreSnapshot();
}

inline void ExpectStoreKept(const StoreSnapshot& before, const std::string& when) {
    const StoreSnapshot now = TakeStoreSnapshot();
    for (std::size_t i = 0; i < before.size() && i < now.size(); ++i) {
        const auto& [name, was] = before[i];
        const auto& is = now[i].second;
        E2E_CHECK(is.exists && is.type == was.type && is.data == was.data,
                  when + ": " + name + " was " + e2e::Hex(was.data) + ", is " +
                      (is.exists ? e2e::Hex(is.data) : std::string("missing")));
    }
}

// ---------------------------------------------------------------------------------------------------------
// Before and after each test

// The guard's service as the service control manager has it; nullptr when there is none.
inline platform::win32::UniqueServiceHandle OpenGuardService(DWORD access = SERVICE_QUERY_STATUS) {
    const platform::win32::UniqueServiceHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
    return platform::win32::UniqueServiceHandle(manager ? OpenServiceA(manager.get(), "KestrelGuard", access)
                                                        : nullptr);
}

inline bool GuardRunning() {
    const auto service = OpenGuardService();
    SERVICE_STATUS status{};
    return service && QueryServiceStatus(service.get(), &status) && status.dwCurrentState == SERVICE_RUNNING;
}

// The copy of Kestrel the guard started (or started again), once it runs as the first instance; ends the test
// when none comes. `other` is a copy that is not the one looked for (the one that was ended).
inline DWORD WaitForGuardsCopy(DWORD other = 0) {
    DWORD pid = 0;
    E2E_REQUIRE(e2e::WaitUntil(
                    [&] {
                        for (const DWORD candidate : e2e::KestrelProcessTree())
                            if (candidate != other && e2e::FindWindowOf(candidate, e2e::kRunningCaption))
                                pid = candidate;
                        return pid != 0;
                    },
                    30000),
                "the guard did not start Kestrel");
    return pid;
}

// Takes the guard away, by its own /uninstall when it is installed, otherwise through the service control manager;
// then the copies it protected, which under Wine only a Unix kill ends (the same user is denied TerminateProcess).
inline void RemoveGuard() {
    if (FileExists(InstalledGuard()))
        RunAndWait("\"" + InstalledGuard() + "\" /uninstall", 60000);
    if (auto service = OpenGuardService(SERVICE_STOP | DELETE | SERVICE_QUERY_STATUS)) {
        SERVICE_STATUS status{};
        ControlService(service.get(), SERVICE_CONTROL_STOP, &status);
        DeleteService(service.get());
    }
    e2e::UnixKill("kestrel-guard.exe");
    e2e::UnixKill("kestrel.exe");
    e2e::WaitUntil([] { return e2e::KestrelProcessTree().empty(); }, 10000);
}

// Takes away whatever an installation left, without an uninstaller, so that no later program of the run finds
// a Kestrel registered to start.
inline void RemoveInstallation() {
    RemoveGuard();
    e2e::KillKestrel();
    DeleteFileA(InstalledExe().c_str());
    DeleteFileA(InstalledGuard().c_str());
    DeleteFileA(InstalledUninstaller().c_str());
    DeleteFileA(InstalledGuide().c_str());
    WIN32_FIND_DATAA found{};
    HANDLE pictures = FindFirstFileA((InstalledGuidePictures() + "\\*.png").c_str(), &found);
    for (BOOL more = pictures != INVALID_HANDLE_VALUE; more; more = FindNextFileA(pictures, &found))
        DeleteFileA((InstalledGuidePictures() + "\\" + found.cFileName).c_str());
    if (pictures != INVALID_HANDLE_VALUE)
        FindClose(pictures);
    RemoveDirectoryA(InstalledGuidePictures().c_str());
    RemoveDirectoryA(InstallDir().c_str());
    HKEY run = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kRunKey, 0, KEY_SET_VALUE, &run) == ERROR_SUCCESS) {
        RegDeleteValueA(run, kRunValue);
        RegCloseKey(run);
    }
    e2e::DeleteTree(HKEY_LOCAL_MACHINE, kEventSourceKey);
    e2e::DeleteTree(HKEY_LOCAL_MACHINE, kUninstallKey);
}

// Runs `forget` (a package's own way to drop what it registered, if any) and removes the installation, at the
// start of a test and at its end.
class CleanInstallation {
public:
    explicit CleanInstallation(void (*forget)() = nullptr) : m_forget(forget) { Clean(); }
    ~CleanInstallation() { Clean(); }
    CleanInstallation(const CleanInstallation&) = delete;
    CleanInstallation& operator=(const CleanInstallation&) = delete;

private:
    void Clean() {
        if (m_forget)
            m_forget();
        RemoveInstallation();
    }
    void (*m_forget)();
};

} // namespace installation
