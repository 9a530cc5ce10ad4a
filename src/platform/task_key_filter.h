#pragma once
#include <bitset>

namespace platform {

// The system's codes that a key event is told in (the values of <windows.h>, which this portable part does not
// include; the Win32 side checks that they agree).
namespace keys {
constexpr unsigned kWmKeyDown = 0x0100;
constexpr unsigned kWmKeyUp = 0x0101;
constexpr unsigned kWmSysKeyDown = 0x0104;
constexpr unsigned kWmSysKeyUp = 0x0105;
constexpr unsigned kFlagAltDown = 0x20; // LLKHF_ALTDOWN
constexpr unsigned kFlagUp = 0x80;      // LLKHF_UP
constexpr unsigned kVkTab = 0x09;
constexpr unsigned kVkControl = 0x11;
constexpr unsigned kVkMenu = 0x12; // Alt
constexpr unsigned kVkEscape = 0x1B;
constexpr unsigned kVkLeftWindows = 0x5B;
constexpr unsigned kVkRightWindows = 0x5C;
constexpr unsigned kVkLeftControl = 0xA2;
constexpr unsigned kVkRightControl = 0xA3;
constexpr unsigned kVkLeftMenu = 0xA4;
constexpr unsigned kVkRightMenu = 0xA5;
} // namespace keys

// One event of a low-level keyboard hook: the virtual-key code, the message (WM_KEYDOWN, WM_KEYUP,
// WM_SYSKEYDOWN, WM_SYSKEYUP) and the LLKHF_ flags.
struct KeyEvent {
    unsigned vk = 0;
    unsigned message = keys::kWmKeyDown;
    unsigned flags = 0;
};

// Which key events the task-key lock keeps from the system: Alt+Tab, Alt+Esc, Ctrl+Esc (also with Shift, which
// is Task Manager's key) and the two Windows keys. A key whose press was kept is kept until it is released,
// so that no program sees the release or the repeats of a key it never saw pressed. Ctrl and Alt are followed
// from the events seen; Alt also counts as held when the system says so (LLKHF_ALTDOWN, or the WM_SYSKEY
// messages, which are how Wine tells it). The modifier keys themselves always pass.
class TaskKeyFilter {
public:
    // True when the event is to be swallowed.
    bool Swallow(const KeyEvent& event) noexcept;

private:
    bool m_leftControl = false, m_rightControl = false, m_leftAlt = false, m_rightAlt = false;
    std::bitset<256> m_kept;
};

} // namespace platform
