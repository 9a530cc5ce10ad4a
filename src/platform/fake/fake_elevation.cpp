#include "platform/fake/fake_elevation.h"

namespace platform::fake {

std::string FakeElevation::CreateHandOver(const std::vector<std::uint8_t>& data) {
    if (refuseFiles)
        return "";
    const std::string path = std::string("C:\\Users\\Parent\\AppData\\Local\\Temp\\") + kHandOverPrefix +
                             std::to_string(++m_made) + kHandOverSuffix;
    files[path] = data;
    return path;
}

bool FakeElevation::TakeHandOver(const std::string& path, std::size_t maxBytes, std::vector<std::uint8_t>& data) {
    auto it = files.find(path);
    if (it == files.end())
        return false;
    const std::vector<std::uint8_t> taken = std::move(it->second);
    files.erase(it); // deleted whatever it holds
    if (taken.size() > maxBytes)
        return false;
    data = taken;
    return true;
}

Subscription FakeElevation::StartElevated(WindowId owner, const std::string& arguments,
                                          std::function<void(const ElevatedRun&)> done) {
    starts.push_back({owner, arguments});
    m_done = std::move(done);
    const int run = ++m_runs;
    return Subscription([this, run] {
        if (run == m_runs)
            m_done = nullptr;
    });
}

void FakeElevation::Finish(const ElevatedRun& run) {
    auto done = std::move(m_done);
    m_done = nullptr;
    if (done)
        done(run);
}

} // namespace platform::fake
