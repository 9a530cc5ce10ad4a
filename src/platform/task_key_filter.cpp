#include "platform/task_key_filter.h"

namespace platform {

using namespace keys;

bool TaskKeyFilter::Swallow(const KeyEvent& event) noexcept {
    const bool up = (event.flags & kFlagUp) != 0 || event.message == kWmKeyUp || event.message == kWmSysKeyUp;
    switch (event.vk) {
    case kVkControl:
        m_leftControl = m_rightControl = !up;
        return false;
    case kVkLeftControl:
        m_leftControl = !up;
        return false;
    case kVkRightControl:
        m_rightControl = !up;
        return false;
    case kVkMenu:
        m_leftAlt = m_rightAlt = !up;
        return false;
    case kVkLeftMenu:
        m_leftAlt = !up;
        return false;
    case kVkRightMenu:
        m_rightAlt = !up;
        return false;
    default:
        break;
    }
    if (event.vk >= m_kept.size())
        return false;
    if (up) {
        const bool kept = m_kept.test(event.vk);
        m_kept.reset(event.vk);
        return kept;
    }
    if (m_kept.test(event.vk))
        return true; // a repeat
    const bool alt = m_leftAlt || m_rightAlt || (event.flags & kFlagAltDown) != 0 || event.message == kWmSysKeyDown;
    const bool control = m_leftControl || m_rightControl;
    const bool keep = event.vk == kVkLeftWindows || event.vk == kVkRightWindows || (event.vk == kVkTab && alt) ||
                      (event.vk == kVkEscape && (alt || control));
    m_kept.set(event.vk, keep);
    return keep;
}

} // namespace platform
