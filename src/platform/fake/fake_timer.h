#pragma once
#include <functional>
#include <memory>
#include <vector>

#include "platform/timer.h"

namespace platform::fake {

class FakeTimerFactory;

// A timer that ticks only when a test fires it. It remembers its period and every switch.
class FakeTimer : public Timer {
public:
    FakeTimer(FakeTimerFactory* factory, unsigned intervalMs, std::function<void()> onTick);
    ~FakeTimer() override;
    FakeTimer(const FakeTimer&) = delete;
    FakeTimer& operator=(const FakeTimer&) = delete;

    void SetEnabled(bool enabled) override;
    bool Enabled() const override { return m_enabled; }

    unsigned Interval() const { return m_intervalMs; }
    // Every SetEnabled call in order, also those that changed nothing.
    const std::vector<bool>& Switches() const { return m_switches; }
    // One tick, as the system would deliver it: only while enabled. True when it ticked.
    bool Fire();

private:
    friend class FakeTimerFactory;
    FakeTimerFactory* m_factory;
    unsigned m_intervalMs;
    std::function<void()> m_onTick;
    bool m_enabled = false;
    std::vector<bool> m_switches;
};

// Makes FakeTimers (disabled, as a new timer is) and keeps track of the ones alive.
class FakeTimerFactory : public TimerFactory {
public:
    FakeTimerFactory() = default;
    ~FakeTimerFactory() override;
    FakeTimerFactory(const FakeTimerFactory&) = delete;
    FakeTimerFactory& operator=(const FakeTimerFactory&) = delete;

    std::unique_ptr<Timer> MakeTimer(unsigned intervalMs, std::function<void()> onTick) override;

    // The timers alive, oldest first.
    const std::vector<FakeTimer*>& Timers() const { return m_timers; }
    // The most recently made timer that is still alive; nullptr when none.
    FakeTimer* Last() const { return m_timers.empty() ? nullptr : m_timers.back(); }

private:
    friend class FakeTimer;
    std::vector<FakeTimer*> m_timers;
};

} // namespace platform::fake
