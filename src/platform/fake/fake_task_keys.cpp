#include "platform/fake/fake_task_keys.h"

namespace platform::fake {

void FakeTaskKeys::SetLocked(bool locked) {
    m_locked = locked;
    m_calls.push_back(locked);
}

} // namespace platform::fake
