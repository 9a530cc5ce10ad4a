#include "platform/fake/fake_timer.h"

#include <algorithm>

namespace platform::fake {

FakeTimer::FakeTimer(FakeTimerFactory* factory, unsigned intervalMs, std::function<void()> onTick)
    : m_factory(factory), m_intervalMs(intervalMs), m_onTick(std::move(onTick)) {}

FakeTimer::~FakeTimer() {
    if (m_factory) {
        auto& timers = m_factory->m_timers;
        timers.erase(std::remove(timers.begin(), timers.end(), this), timers.end());
    }
}

void FakeTimer::SetEnabled(bool enabled) {
    m_enabled = enabled;
    m_switches.push_back(enabled);
}

bool FakeTimer::Fire() {
    if (!m_enabled || !m_onTick)
        return false;
    // A copy: the handler may destroy its own timer.
    auto tick = m_onTick;
    tick();
    return true;
}

FakeTimerFactory::~FakeTimerFactory() {
    for (FakeTimer* timer : m_timers)
        timer->m_factory = nullptr;
}

std::unique_ptr<Timer> FakeTimerFactory::MakeTimer(unsigned intervalMs, std::function<void()> onTick) {
    auto timer = std::make_unique<FakeTimer>(this, intervalMs, std::move(onTick));
    m_timers.push_back(timer.get());
    return timer;
}

} // namespace platform::fake
