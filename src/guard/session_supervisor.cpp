#include "guard/session_supervisor.h"

#include <set>

#include "guard/restart_policy.h"

namespace guard {

void SessionSupervisor::SignedIn(const std::vector<SignedInSession>& sessions, std::uint64_t nowMs) {
    std::set<std::uint32_t> listed;
    for (const SignedInSession& seen : sessions) {
        listed.insert(seen.session);
        const auto found = m_sessions.find(seen.session);
        if (found != m_sessions.end() && found->second.signIn == seen.signIn)
            continue;
        // A new sign-in: whatever the session's last user did (Exit, sign-out) is over. A copy still watched from
        // before is kept watched.
        State fresh;
        fresh.signIn = seen.signIn;
        fresh.dueMs = nowMs;
        if (found != m_sessions.end())
            fresh.running = found->second.running;
        m_sessions[seen.session] = fresh;
    }
    for (auto it = m_sessions.begin(); it != m_sessions.end();) {
        if (!listed.count(it->first) && !it->second.running)
            it = m_sessions.erase(it);
        else
            ++it;
    }
}

void SessionSupervisor::SessionEnding(std::uint32_t session) {
    const auto found = m_sessions.find(session);
    if (found != m_sessions.end())
        found->second.stayEnded = true;
}

std::vector<std::uint32_t> SessionSupervisor::DueStarts(std::uint64_t nowMs) const {
    std::vector<std::uint32_t> due;
    for (const auto& [session, state] : m_sessions)
        if (!state.running && !state.stayEnded && state.dueMs <= nowMs)
            due.push_back(session);
    return due;
}

std::optional<std::uint64_t> SessionSupervisor::NextDueMs() const {
    std::optional<std::uint64_t> next;
    for (const auto& [session, state] : m_sessions)
        if (!state.running && !state.stayEnded && (!next || state.dueMs < *next))
            next = state.dueMs;
    return next;
}

void SessionSupervisor::Adopted(std::uint32_t session) {
    const auto found = m_sessions.find(session);
    if (found != m_sessions.end())
        found->second.running = true;
}

bool SessionSupervisor::Started(std::uint32_t session, std::uint64_t nowMs) {
    const auto found = m_sessions.find(session);
    if (found == m_sessions.end())
        return false;
    State& state = found->second;
    const bool again = state.restarting;
    state.running = true;
    state.restarting = false;
    state.everStarted = true;
    state.lastStartMs = nowMs;
    return again;
}

void SessionSupervisor::StartFailed(std::uint32_t session, std::uint64_t nowMs) {
    const auto found = m_sessions.find(session);
    if (found != m_sessions.end())
        found->second.dueMs = nowMs + kMinStartSpacingMs;
}

void SessionSupervisor::Ended(std::uint32_t session, CopyEnd how, std::uint64_t nowMs) {
    const auto found = m_sessions.find(session);
    if (found == m_sessions.end())
        return;
    State& state = found->second;
    state.running = false;
    const bool exitGranted = state.exitGrantedMs && nowMs - *state.exitGrantedMs <= kExitGrantMs;
    state.exitGrantedMs.reset();
    if (how == CopyEnd::SessionEnding || exitGranted) {
        state.stayEnded = true;
        return;
    }
    if (state.stayEnded)
        return; // the session is signing out: the system ends every program in it
    state.restarting = true;
    // A copy the guard did not start (found running) is started again at once; its own start is not the guard's.
    state.dueMs = state.everStarted ? NextStartMs(state.lastStartMs, nowMs) : nowMs;
}

void SessionSupervisor::GrantExit(std::uint32_t session, std::uint64_t nowMs) {
    const auto found = m_sessions.find(session);
    if (found != m_sessions.end())
        found->second.exitGrantedMs = nowMs;
}

bool SessionSupervisor::IsRunning(std::uint32_t session) const {
    const auto found = m_sessions.find(session);
    return found != m_sessions.end() && found->second.running;
}

} // namespace guard
