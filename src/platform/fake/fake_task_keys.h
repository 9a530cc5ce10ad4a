#pragma once
#include <vector>

#include "platform/task_keys.h"

namespace platform::fake {

// The system-wide task-key lock as a flag, with every call remembered.
class FakeTaskKeys : public TaskKeys {
public:
    void SetLocked(bool locked) override;
    bool Locked() const { return m_locked; }
    const std::vector<bool>& Calls() const { return m_calls; }

private:
    bool m_locked = false;
    std::vector<bool> m_calls;
};

} // namespace platform::fake
