#pragma once
#include <cstdint>

namespace guard {

// Two starts of a session's copy of Kestrel are at least this far apart, so that a copy that dies at once does not
// make the guard spin.
inline constexpr std::uint64_t kMinStartSpacingMs = 5000;

// When a copy that started at `startedMs` and ended at `endedMs` is started again: at once when it ran long enough,
// otherwise the spacing after its own start.
constexpr std::uint64_t NextStartMs(std::uint64_t startedMs, std::uint64_t endedMs) {
    return endedMs - startedMs >= kMinStartSpacingMs ? endedMs : startedMs + kMinStartSpacingMs;
}

} // namespace guard
