#pragma once
#include <cstdint>
#include <map>
#include <optional>
#include <vector>

namespace guard {

// A session with a user signed in, as the guard sees it now. `signIn` tells one sign-in from the next in the same
// session (Windows reuses session numbers): a new value is a new sign-in, which starts afresh.
struct SignedInSession {
    std::uint32_t session = 0;
    std::uint64_t signIn = 0;
};

// How a session's copy of Kestrel ended.
enum class CopyEnd {
    Other,         // killed, crashed, closed by another program: started again
    SessionEnding, // the session signs out or the machine shuts down: not started again in this sign-in
};

// What the guard does for each session, free of the system: it knows which sessions are signed in, whether their
// copy of Kestrel runs, and when one is to be started. Kestrel's copy in a session is started at sign-in (or when the
// guard starts and finds the session signed in without one), and again whenever it ends other than by Exit with the
// password or the end of the session, two starts at least kMinStartSpacingMs apart.
class SessionSupervisor {
public:
    // How long an Exit granted by the guard waits for the copy to end. A grant that is not followed by the end of
    // the copy lapses, so that the password once given does not leave the next kill of the copy unanswered.
    static constexpr std::uint64_t kExitGrantMs = 10000;

    // The signed-in sessions now (a look at the sessions, or after a notification): new sign-ins are due a start,
    // sessions no longer listed are forgotten.
    void SignedIn(const std::vector<SignedInSession>& sessions, std::uint64_t nowMs);
    // The session signs out (the system says so before the copy ends): its copy is not started again.
    void SessionEnding(std::uint32_t session);

    // The sessions whose copy is to be started now.
    std::vector<std::uint32_t> DueStarts(std::uint64_t nowMs) const;
    // When the next start falls due; nullopt when none waits.
    std::optional<std::uint64_t> NextDueMs() const;

    // A copy found running in the session (one the guard did not start): it is watched like the guard's own.
    void Adopted(std::uint32_t session);
    // The guard started the session's copy. True when this is a start again after a copy ended without Exit, which
    // the guard reports.
    bool Started(std::uint32_t session, std::uint64_t nowMs);
    // The start failed: it is tried again after the spacing.
    void StartFailed(std::uint32_t session, std::uint64_t nowMs);
    // The session's copy (every copy the guard watches there) has ended.
    void Ended(std::uint32_t session, CopyEnd how, std::uint64_t nowMs);

    // The tray menu's Exit was given the right password in the session: its copy may stay ended.
    void GrantExit(std::uint32_t session, std::uint64_t nowMs);

    bool IsRunning(std::uint32_t session) const;

private:
    struct State {
        std::uint64_t signIn = 0;
        bool running = false;
        bool stayEnded = false;  // Exit with the password, or the session's end: nothing until the next sign-in
        bool restarting = false; // the next start follows an end without Exit
        std::uint64_t lastStartMs = 0;
        bool everStarted = false;
        std::uint64_t dueMs = 0; // when the next start is due (valid while !running && !stayEnded)
        std::optional<std::uint64_t> exitGrantedMs;
    };
    std::map<std::uint32_t, State> m_sessions;
};

} // namespace guard
