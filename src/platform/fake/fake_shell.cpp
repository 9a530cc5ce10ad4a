#include "platform/fake/fake_shell.h"

#include <cstring>

namespace platform::fake {
namespace {

std::string TipText(const TrayIconData& data) {
    const char* tip = data.szTip.data();
    const void* nul = std::memchr(tip, '\0', data.szTip.size());
    return std::string(tip, nul ? static_cast<const char*>(nul) - tip : data.szTip.size());
}

} // namespace

bool FakeShell::NotifyIcon(std::uint32_t message, const TrayIconData& data) {
    const auto key = std::make_pair(data.hWnd, data.uID);
    bool result = false;
    if (message == kNimAdd) {
        result = m_icons.count(key) == 0;
        if (result)
            m_icons[key] = TipText(data);
    } else if (message == kNimDelete) {
        result = m_icons.erase(key) != 0;
    }
    m_notifyCalls.push_back({message, data, result});
    return result;
}

void FakeShell::OpenAddress(WindowId owner, const std::string& address) {
    m_opened.emplace_back(owner, address);
}

void FakeShell::OpenHelp(WindowId owner, const std::string& file, unsigned command) {
    m_help.push_back({owner, file, command});
}

bool FakeShell::StartHidden(const std::string& file) {
    m_started.push_back(file);
    return m_files.count(file) != 0;
}

std::string FakeShell::TipOf(WindowId window, std::uint32_t id) const {
    auto it = m_icons.find({window, id});
    return it == m_icons.end() ? "" : it->second;
}

} // namespace platform::fake
