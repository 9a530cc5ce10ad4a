#include "platform/win32/win32_timer.h"

#include <map>
#include <set>

#include "platform/win32/win32_trace.h"

namespace platform::win32 {

namespace {

// Thread timers carry no pointer of ours, only the id the system chose. The program is single-threaded,
// so plain maps suffice.
std::map<UINT_PTR, Win32Timer*>& TimersById() {
    static std::map<UINT_PTR, Win32Timer*> timers;
    return timers;
}

// Timers alive: a tick handler may destroy its own timer (a dialog that closes itself from its timer).
std::set<const Win32Timer*>& LiveTimers() {
    static std::set<const Win32Timer*> live;
    return live;
}

} // namespace

Win32Timer::Win32Timer(unsigned intervalMs, std::function<void()> onTick)
    : m_intervalMs(intervalMs), m_onTick(std::move(onTick)) {
    LiveTimers().insert(this);
}

Win32Timer::~Win32Timer() {
    SetEnabled(false);
    LiveTimers().erase(this);
}

void Win32Timer::SetEnabled(bool enabled) {
    if (enabled == Enabled())
        return;
    if (enabled) {
        m_id = ::SetTimer(nullptr, 0, m_intervalMs, &Win32Timer::OnTimer);
        if (m_id != 0)
            TimersById()[m_id] = this;
        else
            TraceLastError("SetTimer");
    } else {
        if (!::KillTimer(nullptr, m_id))
            TraceLastError("KillTimer");
        TimersById().erase(m_id);
        m_id = 0;
    }
}

void CALLBACK Win32Timer::OnTimer(HWND, UINT, UINT_PTR id, DWORD) noexcept {
    try {
        auto it = TimersById().find(id);
        if (it == TimersById().end())
            return;
        Win32Timer* timer = it->second;
        // A handler that opens a message box runs a nested loop; its own timer must not tick into it again.
        if (timer->m_inTick)
            return;
        timer->m_inTick = true;
        // A copy, because the handler may destroy the timer and with it the original.
        const std::function<void()> tick = timer->m_onTick;
        try {
            if (tick)
                tick();
        } catch (...) {
            TraceException("a timer handler");
        }
        if (LiveTimers().count(timer))
            timer->m_inTick = false;
    } catch (...) {
        TraceException("the timer dispatch");
    }
}

std::unique_ptr<Timer> Win32TimerFactory::MakeTimer(unsigned intervalMs, std::function<void()> onTick) {
    return std::make_unique<Win32Timer>(intervalMs, std::move(onTick));
}

} // namespace platform::win32
