#pragma once
#include <cstdint>
#include <optional>
#include <vector>

namespace platform {

// The channel from Kestrel in a user's session to the guard service, when one runs.
class GuardLink {
public:
    virtual ~GuardLink() = default;
    // Sends one request and returns the answer; nullopt when no guard runs, the one that answers is not the
    // service, or it did not answer.
    virtual std::optional<std::vector<std::uint8_t>> Call(const std::vector<std::uint8_t>& request) = 0;
};

} // namespace platform
