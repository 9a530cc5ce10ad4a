#pragma once
#include "platform/session_instance.h"

namespace platform::fake {

// The session's lock as a flag: held by another copy, or by this one after a Claim.
class FakeSessionInstance final : public SessionInstance {
public:
    bool Claim() override {
        if (heldElsewhere || held)
            return held;
        held = true;
        return true;
    }
    void Release() override { held = false; }

    bool heldElsewhere = false; // a copy that runs already
    bool held = false;
};

} // namespace platform::fake
