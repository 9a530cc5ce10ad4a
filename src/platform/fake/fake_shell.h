#pragma once
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/shell.h"

namespace platform::fake {

// A shell with a notification area that holds icons by (window, id) as the real one does: a second add for
// the same pair is refused, a delete of a missing one fails. Addresses, help and started programs are recorded.
class FakeShell : public Shell {
public:
    struct NotifyCall {
        std::uint32_t message;
        TrayIconData data;
        bool result;
    };
    struct HelpCall {
        WindowId owner;
        std::string file;
        unsigned command;
    };

    bool NotifyIcon(std::uint32_t message, const TrayIconData& data) override;
    void OpenAddress(WindowId owner, const std::string& address) override;
    void OpenHelp(WindowId owner, const std::string& file, unsigned command) override;
    bool FileExists(const std::string& path) override { return m_files.count(path) != 0; }
    bool StartHidden(const std::string& file) override;
    std::string ProgramFolder() override { return m_programFolder; }

    // Setting up the world.
    void SetProgramFolder(const std::string& folder) { m_programFolder = folder; }
    // The files that exist; StartHidden succeeds only for these.
    void AddFile(const std::string& path) { m_files.insert(path); }
    // The shell restarts: every icon is gone.
    void RestartShell() { m_icons.clear(); }

    // Looking at the world.
    std::size_t IconCount() const { return m_icons.size(); }
    bool HasIcon(WindowId window, std::uint32_t id) const { return m_icons.count({window, id}) != 0; }
    // The tip of a shown icon as the shell reads it (up to the first NUL, at most 64 characters).
    std::string TipOf(WindowId window, std::uint32_t id) const;
    const std::vector<NotifyCall>& NotifyCalls() const { return m_notifyCalls; }
    // (owner, address) in order.
    const std::vector<std::pair<WindowId, std::string>>& OpenedAddresses() const { return m_opened; }
    const std::vector<HelpCall>& HelpCalls() const { return m_help; }
    // Every start attempt, also failed ones.
    const std::vector<std::string>& StartedHidden() const { return m_started; }

private:
    // The tip of each icon shown, keyed by (window, id).
    std::map<std::pair<WindowId, std::uint32_t>, std::string> m_icons;
    std::vector<NotifyCall> m_notifyCalls;
    std::vector<std::pair<WindowId, std::string>> m_opened;
    std::vector<HelpCall> m_help;
    std::vector<std::string> m_started;
    std::set<std::string> m_files;
    std::string m_programFolder = "C:\\Program Files\\Kestrel";
};

} // namespace platform::fake
