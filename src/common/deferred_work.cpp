#include "common/deferred_work.h"

namespace common {

void DeferredWork::RunIfIdle() {
    while (m_depth == 0 && !m_work.empty()) {
        const Work work = std::move(m_work.front());
        m_work.pop_front();
        if (work.wanted && !*work.wanted)
            continue;
        Dispatch running(*this);
        if (work.run)
            work.run();
    }
}

} // namespace common
