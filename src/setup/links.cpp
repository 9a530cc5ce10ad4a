// What the setup window hands to the world outside the program: help, the vendor's pages and mail, and the
// offer to download the popup-blocking add-on.
#include "setup/setup_window.h"
#include "setup/vendor.h"

namespace setup {

void SetupWindow::cmdhelp_Click() {
    const std::string folder = m_shell.ProgramFolder();
    // The folder of a drive root already ends in a backslash; the doubled separator is harmless to the viewer.
    const std::string helpFile = folder + "\\" + kHelpFile;
    if (m_shell.FileExists(helpFile)) {
        m_shell.OpenHelp(Owner(), helpFile, kHelpFinder);
        return;
    }
    // Without the file the viewer could only say that it is missing, and Windows 10 and 11 have no viewer for such
    // files at all: the button would do nothing visible. The user's guide opens in the web browser instead.
    const bool root = !folder.empty() && folder.back() == '\\';
    m_shell.OpenAddress(Owner(), folder + (root ? "" : "\\") + kGuideFile);
}

void SetupWindow::cmdupdate_Click() {
    m_shell.OpenAddress(Owner(), std::string(kVendorWebsite) + kUpdatePath);
}

void SetupWindow::Label7_Click() {
    m_shell.OpenAddress(Owner(), kVendorWebsite);
}

void SetupWindow::Label8_Click() {
    m_shell.OpenAddress(Owner(), std::string("mailto:") + kSupportAddress + kMailSubjectQuery);
}

void SetupWindow::chkpopup_Click() {
    if (m_state.PopupLoading)
        return; // ticked by the settings load, not by the user
    if (!m_options.Get(store::Option::Popup))
        return;
    // Already on when last stored: the user unticked and ticked again, nothing to offer.
    if (m_registry.ReadValue(platform::RegRoot::LocalMachine, store::kSettingsKey, "Popup") == "1")
        return;
    const int answer = m_messageBoxes.Show(Owner(), kAddOnQuestion, kAppTitle, kAddOnQuestionStyle);
    if (answer == platform::kIdOk) {
        m_shell.OpenAddress(Owner(), std::string(kVendorWebsite) + kAddOnInstallerPath);
    } else {
        m_options.Set(store::Option::Popup, false); // runs this handler again, which stops at the untick
    }
}

} // namespace setup
