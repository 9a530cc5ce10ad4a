#pragma once
#include <functional>

#include "platform/guard_link.h"

namespace platform::fake {

// The guard as a test plays it: no guard at all until `answer` is set; every request is kept.
class FakeGuardLink final : public GuardLink {
public:
    std::optional<std::vector<std::uint8_t>> Call(const std::vector<std::uint8_t>& request) override {
        requests.push_back(request);
        if (!answer)
            return std::nullopt;
        return answer(request);
    }

    std::function<std::optional<std::vector<std::uint8_t>>(const std::vector<std::uint8_t>&)> answer;
    std::vector<std::vector<std::uint8_t>> requests;
};

} // namespace platform::fake
