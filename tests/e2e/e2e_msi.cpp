// The MSI package as a deployment tool uses it: msiexec /i kestrel-<version>.msi /qn installs what the NSIS
// installer does (kestrel.exe in Program Files, the start at every logon, the event source), msiexec /x ... /qn
// stops the running lock and takes all of it away again, but never the parent's password, settings and items.
//
// The package is built next to this program (build/windows/kestrel-<version>.msi, by the `msi` target, which
// needs wixl). Every test starts and ends without an installation.
#include <string>

#include "e2e_framework.h"
#include "installation.h"
#include "version.h"

namespace {

using namespace installation;

std::string PackagePath() {
    return e2e::ExeDir() + "kestrel-" KESTREL_VERSION_STRING ".msi";
}

long Msiexec(const std::string& action, const std::string& properties = "") {
    return RunAndWait("msiexec.exe " + action + " \"" + PackagePath() + "\" /qn" +
                      (properties.empty() ? "" : " " + properties));
}

// Windows Installer keeps its own record of what is installed: without it a later install would find the product
// there already and do nothing.
void ForgetPackage() {
    Msiexec("/x");
}

// Without the guard unless asked: the package as it was before the guard.
void Install(const std::string& properties = "NOGUARD=1") {
    E2E_REQUIRE(FileExists(PackagePath()), "no package " + PackagePath() + " (is wixl installed?)");
    const long code = Msiexec("/i", properties);
    E2E_REQUIRE(code == 0, "msiexec /i ended with " + std::to_string(code));
}

E2E_TEST(SilentInstallPutsKestrelInProgramFilesAndStartsItAtLogon) {
    CleanInstallation clean(ForgetPackage);
    Install();

    E2E_CHECK(FileSize(InstalledExe()) == FileSize(e2e::ExeDir() + e2e::kKestrelImage),
              "the installed kestrel.exe is not the one built");
    E2E_CHECK(FileExists(InstalledGuide()) && FileExists(InstalledGuidePictures() + "\\prompt.png"),
              "the user's guide is not installed beside kestrel.exe");
    E2E_CHECK(ReadText(HKEY_LOCAL_MACHINE, kRunKey, kRunValue) == "\"" + InstalledExe() + "\"",
              "the Run entry is " + ReadText(HKEY_LOCAL_MACHINE, kRunKey, kRunValue));
    ExpectEventSourceRegistered();
    // What a logon runs.
    StartFromRunEntry();
}

E2E_TEST(SilentUninstallStopsKestrelAndKeepsTheStore) {
    CleanInstallation clean(ForgetPackage);
    const StoreSnapshot before = WriteParentsStore();
    Install();
    const DWORD pid = StartFromRunEntry();

    const long code = Msiexec("/x");
    E2E_CHECK(code == 0, "msiexec /x ended with " + std::to_string(code));

    E2E_CHECK(e2e::WaitUntil([pid] { return !e2e::IsRunning(pid); }), "the running Kestrel was not stopped");
    ExpectNothingInstalled();
    ExpectStoreKept(before, "after the uninstall");
}

// With the guard, the package's default: the service is installed and started, and starts Kestrel; there is no Run
// entry to start a second copy. The removal takes the service away and ends the copy it kept, which no one else may.
E2E_TEST(WithTheGuardThePackageStartsKestrelThroughItAndTheRemovalTakesBothAway) {
    CleanInstallation clean(ForgetPackage);
    Install("");
    E2E_CHECK(FileExists(InstalledGuard()), "no " + InstalledGuard());
    E2E_CHECK(!ValueExists(HKEY_LOCAL_MACHINE, kRunKey, kRunValue), "a Run entry beside the guard");
    E2E_CHECK(GuardRunning(), "the guard's service does not run");
    const DWORD pid = WaitForGuardsCopy();

    const long code = Msiexec("/x");
    E2E_CHECK(code == 0, "msiexec /x ended with " + std::to_string(code));
    E2E_CHECK(e2e::WaitUntil([pid] { return !e2e::IsRunning(pid); }), "the guard's Kestrel was not ended");
    E2E_CHECK(!OpenGuardService(), "the guard's service is still there");
    ExpectNothingInstalled();
}

} // namespace

E2E_MAIN()
