#pragma once
#include <functional>
#include <memory>

#include <windows.h>

#include "platform/timer.h"

namespace platform::win32 {

// A thread timer (SetTimer without a window) on the UI thread: its WM_TIMER is dispatched by the thread's
// message loop, also by the nested loops of message boxes and menus. The timer owns its system id and kills it
// when switched off or destroyed.
class Win32Timer final : public Timer {
public:
    Win32Timer(unsigned intervalMs, std::function<void()> onTick);
    ~Win32Timer() override;
    Win32Timer(const Win32Timer&) = delete;
    Win32Timer& operator=(const Win32Timer&) = delete;

    // Switching an enabled timer on again changes nothing: it keeps its rhythm.
    void SetEnabled(bool enabled) override;
    bool Enabled() const override { return m_id != 0; }

private:
    static void CALLBACK OnTimer(HWND, UINT, UINT_PTR id, DWORD) noexcept;

    unsigned m_intervalMs;
    std::function<void()> m_onTick;
    UINT_PTR m_id = 0;
    bool m_inTick = false;
};

class Win32TimerFactory final : public TimerFactory {
public:
    std::unique_ptr<Timer> MakeTimer(unsigned intervalMs, std::function<void()> onTick) override;
};

} // namespace platform::win32
