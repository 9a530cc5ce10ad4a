#pragma once
#include <functional>
#include <memory>

namespace platform {

// A message-driven timer on the UI thread. The owner gives the tick handler; the timer only
// starts and stops. Ticks never overlap another handler.
class Timer {
public:
    virtual ~Timer() = default;
    virtual void SetEnabled(bool enabled) = 0;
    virtual bool Enabled() const = 0;
};

// Makes timers with a period and a tick handler.
class TimerFactory {
public:
    virtual ~TimerFactory() = default;
    virtual std::unique_ptr<Timer> MakeTimer(unsigned intervalMs, std::function<void()> onTick) = 0;
};

} // namespace platform
