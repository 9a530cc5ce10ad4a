#pragma once
#include <cstdint>
#include <functional>
#include <vector>

#include "common/guard_protocol.h"
#include "guard/password_attempts.h"
#include "platform/ansi_code_page.h"
#include "platform/crypto.h"
#include "store/registry.h"

namespace guard {

// What the guard answers to one request from Kestrel in a session: it checks the password against the stored hash
// itself (no faster than PasswordAttempts lets it), grants the session's Exit, and writes a change of the store
// through the store's own code, which takes the store's own values in their own forms and nothing else.
class GuardRequests {
public:
    // permitExit: the session's copy may stay ended.
    GuardRequests(store::Registry& registry, platform::Crypto& crypto, const platform::AnsiCodePage* legacy,
                  std::function<void(std::uint32_t session)> permitExit);

    common::GuardResponse Handle(std::uint32_t session, const std::vector<std::uint8_t>& message, std::uint64_t nowMs);

private:
    bool IsStoredPassword(const std::string& typed);

    store::Registry& m_registry;
    platform::Crypto& m_crypto;
    const platform::AnsiCodePage* m_legacy;
    std::function<void(std::uint32_t)> m_permitExit;
    PasswordAttempts m_attempts;
};

} // namespace guard
