// The installer as a parent uses it, without the guard (/NOGUARD; the guard's tests are e2e_guard's):
// kestrel-setup-<version>.exe /S puts Kestrel into Program Files and registers it to start at every logon and as an
// event source; the uninstaller /S stops the running lock and removes
// everything but the stored password, settings and locked items, which a reinstall finds again.
//
// The installer is built next to this program (build/windows/kestrel-setup-<version>.exe, by the `installer`
// target, which needs makensis). Every test starts and ends without an installation.
#include <algorithm>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "e2e_framework.h"
#include "installation.h"
#include "version.h"

#include <tlhelp32.h>

namespace {

using namespace installation;

// Without the guard (/NOGUARD), as the installer was before it: the guard's own tests are in e2e_guard.
void InstallWithoutGuard() {
    InstallSilently("/NOGUARD");
}

E2E_TEST(SilentInstallPutsKestrelInProgramFilesAndStartsItAtLogon) {
    CleanInstallation clean;
    InstallWithoutGuard();

    E2E_CHECK(FileExists(InstalledExe()), "no " + InstalledExe());
    E2E_CHECK(FileSize(InstalledExe()) == FileSize(e2e::ExeDir() + e2e::kKestrelImage),
              "the installed kestrel.exe is not the one built");
    E2E_CHECK(FileExists(InstalledUninstaller()), "no " + InstalledUninstaller());
    // The uninstaller is written at install time, so its signature is checked on this copy, not in the installer:
    // scripts/check-signatures.sh reads it from build/e2e-artifacts/ after the run.
    E2E_CHECK(CopyFileA(InstalledUninstaller().c_str(), (e2e::ArtifactDir() + "uninstall.exe").c_str(), FALSE),
              "could not copy the installed uninstaller to " + e2e::ArtifactDir());
    // Beside it the user's guide that Help opens, with its pictures.
    E2E_CHECK(FileExists(InstalledGuide()), "no " + InstalledGuide());
    E2E_CHECK(FileExists(InstalledGuidePictures() + "\\prompt.png"), "the guide's pictures are not installed");
    E2E_CHECK(ReadText(HKEY_LOCAL_MACHINE, kRunKey, kRunValue) == "\"" + InstalledExe() + "\"",
              "the Run entry is " + ReadText(HKEY_LOCAL_MACHINE, kRunKey, kRunValue));
    ExpectEventSourceRegistered();

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
    InstallWithoutGuard();
    const DWORD pid = StartFromRunEntry();

    UninstallSilently();

    E2E_CHECK(e2e::WaitUntil([pid] { return !e2e::IsRunning(pid); }), "the running Kestrel was not stopped");
    ExpectNothingInstalled();
    // The file-type association belongs to the product family, not to Kestrel alone.
    E2E_CHECK(e2e::KeyExists(HKEY_CLASSES_ROOT, ".loc"), "the uninstall removed the family's .loc association");
}

E2E_TEST(StoredItemsSurviveSilentUninstallAndReinstall) {
    CleanInstallation clean;
    const StoreSnapshot before = WriteParentsStore();

    InstallWithoutGuard();
    UninstallSilently();
    ExpectStoreKept(before, "after the uninstall");

    InstallWithoutGuard();
    ExpectStoreKept(before, "after the reinstall");

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

// Through the wizard as a parent goes: Next, Install, a password in Kestrel's Set Password dialog, and Finish with
// "Start Kestrel now" ticked. The password is stored as Kestrel's own setup window stores it. Kestrel is started by
// the user's shell, not by the installer, whose elevation it would inherit (Wine shows no elevation: that it runs,
// and not as the installer's child, is what can be seen here).
E2E_TEST(FinishPageStartsKestrelThroughTheUsersShell) {
    CleanInstallation clean;
    E2E_REQUIRE(FileExists(SetupPath()), "no installer " + SetupPath() + " (is makensis installed?)");
    const platform::win32::UniqueHandle process(StartProcess("\"" + SetupPath() + "\" /NOGUARD"));
    E2E_REQUIRE(process != nullptr, "the installer did not start");
    const DWORD setup = GetProcessId(process.get());
    HWND wizard = nullptr;
    E2E_REQUIRE(
        e2e::WaitUntil(
            [&] { return (wizard = e2e::FindWindowOf(setup, "Kestrel " KESTREL_VERSION_STRING " Setup", true)); },
            60000),
        "no installer window");
    // The wizard's button 1 is Next, then Install, then (once the files are in and the password is set) Finish.
    bool passwordAsked = false;
    E2E_REQUIRE(e2e::WaitUntil(
                    [&] {
                        if (HWND dialog = e2e::FindWindowOf(0, "Set Password", true); dialog && !passwordAsked) {
                            e2e::SaveScreenshot("installer-set-password");
                            passwordAsked = e2e::AnswerSetPassword(dialog, "Kite9");
                            return false;
                        }
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
    E2E_CHECK(passwordAsked, "the wizard did not ask for a password");
    E2E_CHECK(e2e::StoredPasswordIs("Kite9"), "the password typed in the wizard is not the one stored");
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
