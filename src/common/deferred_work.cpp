#include "common/deferred_work.h"

namespace common {

void DeferredWork::RunIfIdle() {
    while (m_depth == 0 && !m_work.empty()) {
        const std::function<void()> work = std::move(m_work.front());
        m_work.pop_front();
        Dispatch running(*this);
        if (work)
            work();
    }
}

} // namespace common
