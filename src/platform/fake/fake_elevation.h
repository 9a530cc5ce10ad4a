#pragma once
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/elevation.h"

namespace platform::fake {

// Hand-over files in memory, and a copy with administrator rights that a test starts and ends by hand: it records
// every start and keeps the completion until Finish, so that a test can look at the waiting window, play the
// other copy (store::SaveFromHandOver with the recorded arguments) and then deliver the outcome.
class FakeElevation final : public Elevation {
public:
    struct Start {
        WindowId owner = 0;
        std::string arguments;
    };

    std::string CreateHandOver(const std::vector<std::uint8_t>& data) override;
    void DeleteHandOver(const std::string& path) override { files.erase(path); }
    bool TakeHandOver(const std::string& path, std::size_t maxBytes, std::vector<std::uint8_t>& data) override;
    Subscription StartElevated(WindowId owner, const std::string& arguments,
                               std::function<void(const ElevatedRun&)> done) override;

    // True while a started copy has not been finished.
    bool Waiting() const { return static_cast<bool>(m_done); }
    // Ends the waiting copy: its completion runs now, as the message from the waiting thread would.
    void Finish(const ElevatedRun& run);

    std::vector<Start> starts;
    std::map<std::string, std::vector<std::uint8_t>> files; // by path
    bool refuseFiles = false;                               // the temporary folder cannot be written

private:
    std::function<void(const ElevatedRun&)> m_done;
    int m_made = 0;
    int m_runs = 0;
};

} // namespace platform::fake
