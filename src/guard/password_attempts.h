#pragma once
#include <cstdint>
#include <map>

namespace guard {

// How fast passwords may be tried through the guard: five wrong ones from a session are answered, then nothing is
// checked for that session for 30 seconds (the answer is "wait"), after which it has five again. A right password
// starts the count afresh. Sessions are counted apart: one user's guessing keeps no other user waiting.
class PasswordAttempts {
public:
    static constexpr int kWrongAllowed = 5;
    static constexpr std::uint64_t kWaitMs = 30000;

    // 0 when a password from this session is checked now; otherwise the whole seconds left to wait (at least 1).
    unsigned WaitSeconds(std::uint32_t session, std::uint64_t nowMs);
    void Wrong(std::uint32_t session, std::uint64_t nowMs);
    void Right(std::uint32_t session) { m_sessions.erase(session); }

private:
    struct Count {
        int wrong = 0;
        std::uint64_t blockedUntil = 0;
    };
    std::map<std::uint32_t, Count> m_sessions;
};

} // namespace guard
