#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/guard_link.h"

namespace common {

// The messages between Kestrel in a user's session and the guard, the service that keeps Kestrel running and writes
// the store for it. One request, one answer, each one message of at most kMaxGuardMessage bytes:
//
//     kestrel-guard 1          kestrel-guard 1
//     exit                     ok | wrong | wait <seconds> | failed <code> | refused
//     <password, escaped>
//     [save: the hand-over bytes of a store::SaveRequest]
//
// The password is the one typed in Kestrel's prompt; the guard checks it against the stored hash itself. What a
// request may ask is fixed by its verb; the session it comes from is the channel's to tell, never the message's.
using platform::kMaxGuardMessage;

enum class GuardVerb {
    Exit, // the tray menu's Exit was given the password: leave this session's copy ended
    Save, // write this change to the store (the user may not)
};

struct GuardRequest {
    GuardVerb verb = GuardVerb::Exit;
    std::string password;
    std::vector<std::uint8_t> payload; // Save: the change, as store::Serialize writes it
};

enum class GuardAnswer {
    Done,          // exit granted / change stored
    WrongPassword, // not the stored password
    Wait,          // too many wrong passwords from this session: none is checked for `value` seconds
    Failed,        // the store refused the change: `value` is the system's code
    Refused,       // not a request the guard takes (malformed, too large, a change of something else)
};

struct GuardResponse {
    GuardAnswer answer = GuardAnswer::Refused;
    unsigned value = 0;
    bool operator==(const GuardResponse&) const = default;
};

std::vector<std::uint8_t> EncodeRequest(const GuardRequest& request);
// nullopt for anything EncodeRequest would not have written, or more than kMaxGuardMessage bytes.
std::optional<GuardRequest> ParseRequest(const std::vector<std::uint8_t>& bytes);

std::vector<std::uint8_t> EncodeResponse(const GuardResponse& response);
std::optional<GuardResponse> ParseResponse(const std::vector<std::uint8_t>& bytes);

// Asks the guard: its answer; nullopt when no guard runs (or what answered was no answer).
std::optional<GuardResponse> AskGuard(platform::GuardLink& link, const GuardRequest& request);

} // namespace common
