#include "guard/password_attempts.h"

namespace guard {

unsigned PasswordAttempts::WaitSeconds(std::uint32_t session, std::uint64_t nowMs) {
    auto it = m_sessions.find(session);
    if (it == m_sessions.end() || it->second.wrong < kWrongAllowed)
        return 0;
    if (nowMs >= it->second.blockedUntil) {
        m_sessions.erase(it); // the wait is over: five more
        return 0;
    }
    return static_cast<unsigned>((it->second.blockedUntil - nowMs + 999) / 1000);
}

void PasswordAttempts::Wrong(std::uint32_t session, std::uint64_t nowMs) {
    Count& count = m_sessions[session];
    if (++count.wrong == kWrongAllowed)
        count.blockedUntil = nowMs + kWaitMs;
}

} // namespace guard
