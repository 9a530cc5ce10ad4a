#include "guard/guard_requests.h"

#include "common/password.h"
#include "common/secure_wipe.h"
#include "store/save_request.h"
#include "store/settings.h"

namespace guard {

using common::GuardAnswer;
using common::GuardResponse;

GuardRequests::GuardRequests(store::Registry& registry, platform::Crypto& crypto, const platform::AnsiCodePage* legacy,
                             std::function<void(std::uint32_t)> permitExit)
    : m_registry(registry), m_crypto(crypto), m_legacy(legacy), m_permitExit(std::move(permitExit)) {}

bool GuardRequests::IsStoredPassword(const std::string& typed) {
    // Read afresh every time: the password in force is the stored one, whatever was stored last.
    common::Password stored(m_crypto, common::Password::kIterations, m_legacy);
    stored.LoadStored(m_registry.ReadValue(store::RegRoot::LocalMachine, store::kSettingsKey, store::kPasswordValue));
    return stored.Matches(typed);
}

GuardResponse GuardRequests::Handle(std::uint32_t session, const std::vector<std::uint8_t>& message,
                                    std::uint64_t nowMs) {
    auto request = common::ParseRequest(message);
    if (!request)
        return {GuardAnswer::Refused, 0};
    if (const unsigned wait = m_attempts.WaitSeconds(session, nowMs); wait > 0) {
        common::WipeString(request->password);
        return {GuardAnswer::Wait, wait};
    }
    const bool right = IsStoredPassword(request->password);
    common::WipeString(request->password);
    if (!right) {
        m_attempts.Wrong(session, nowMs);
        return {GuardAnswer::WrongPassword, 0};
    }
    m_attempts.Right(session);

    if (request->verb == common::GuardVerb::Exit) {
        if (m_permitExit)
            m_permitExit(session);
        return {GuardAnswer::Done, 0};
    }
    const auto change = store::ParseSaveRequest(request->payload);
    if (!change)
        return {GuardAnswer::Refused, 0};
    const store::Status saved = store::Save(m_registry, *change);
    if (!saved)
        return {GuardAnswer::Failed, static_cast<unsigned>(saved.code)};
    return {GuardAnswer::Done, 0};
}

} // namespace guard
