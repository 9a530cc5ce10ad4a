#pragma once
#include <cstdint>

namespace platform {

// A top-level window of any process, as the system names it. 0 means "no window".
using WindowId = std::uint64_t;

} // namespace platform
