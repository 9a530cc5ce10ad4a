#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace platform {

// No message on the guard's channel, either way, is larger.
inline constexpr std::size_t kMaxGuardMessage = 64 * 1024;

// The channel from Kestrel in a user's session to the guard service, when one runs.
class GuardLink {
public:
    virtual ~GuardLink() = default;
    // Sends one request and returns the answer; nullopt when no guard runs, the one that answers is not the
    // service, or it did not answer.
    virtual std::optional<std::vector<std::uint8_t>> Call(const std::vector<std::uint8_t>& request) = 0;
};

} // namespace platform
