#include "common/guard_protocol.h"

#include "common/line_escape.h"
#include "common/secure_wipe.h"

namespace common {

namespace {

constexpr const char* kHeader = "kestrel-guard 1";

// The next line of the message from `at` (without its '\n'); nullopt when no '\n' ends one.
std::optional<std::string> NextLine(const std::vector<std::uint8_t>& bytes, std::size_t& at) {
    for (std::size_t end = at; end < bytes.size(); ++end) {
        if (bytes[end] != '\n')
            continue;
        std::string line(bytes.begin() + static_cast<long>(at), bytes.begin() + static_cast<long>(end));
        at = end + 1;
        return line;
    }
    return std::nullopt;
}

// The first line after the header, with `at` past it; nullopt for a message too long or without the header.
std::optional<std::string> LineAfterHeader(const std::vector<std::uint8_t>& bytes, std::size_t& at) {
    if (bytes.size() > kMaxGuardMessage)
        return std::nullopt;
    const auto header = NextLine(bytes, at);
    if (!header || *header != kHeader)
        return std::nullopt;
    return NextLine(bytes, at);
}

// A decimal number without sign or leading zero, of at most nine digits; false for anything else.
bool Number(const std::string& text, unsigned& value) {
    value = 0;
    if (text.empty() || text.size() > 9 || (text.size() > 1 && text[0] == '0'))
        return false;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    return true;
}

void Append(std::vector<std::uint8_t>& bytes, const std::string& text) {
    bytes.insert(bytes.end(), text.begin(), text.end());
}

} // namespace

std::vector<std::uint8_t> EncodeRequest(const GuardRequest& request) {
    std::vector<std::uint8_t> bytes;
    std::string escaped = EscapeLine(request.password);
    Append(bytes, std::string(kHeader) + "\n" + (request.verb == GuardVerb::Save ? "save" : "exit") + "\n");
    Append(bytes, escaped + "\n");
    WipeString(escaped);
    bytes.insert(bytes.end(), request.payload.begin(), request.payload.end());
    return bytes;
}

std::optional<GuardRequest> ParseRequest(const std::vector<std::uint8_t>& bytes) {
    std::size_t at = 0;
    const auto verb = LineAfterHeader(bytes, at);
    auto password = verb ? NextLine(bytes, at) : std::nullopt;
    if (!password || (*verb != "exit" && *verb != "save"))
        return std::nullopt;
    GuardRequest request;
    request.verb = *verb == "save" ? GuardVerb::Save : GuardVerb::Exit;
    auto plain = UnescapeLine(*password);
    WipeString(*password);
    if (!plain)
        return std::nullopt;
    request.password = std::move(*plain);
    request.payload.assign(bytes.begin() + static_cast<long>(at), bytes.end());
    // An exit carries nothing more; a save carries its change.
    if ((request.verb == GuardVerb::Exit) != request.payload.empty())
        return std::nullopt;
    return request;
}

std::vector<std::uint8_t> EncodeResponse(const GuardResponse& response) {
    std::string line;
    switch (response.answer) {
    case GuardAnswer::Done:
        line = "ok";
        break;
    case GuardAnswer::WrongPassword:
        line = "wrong";
        break;
    case GuardAnswer::Wait:
        line = "wait " + std::to_string(response.value);
        break;
    case GuardAnswer::Failed:
        line = "failed " + std::to_string(response.value);
        break;
    case GuardAnswer::Refused:
        line = "refused";
        break;
    }
    std::vector<std::uint8_t> bytes;
    Append(bytes, std::string(kHeader) + "\n" + line + "\n");
    return bytes;
}

std::optional<GuardResponse> ParseResponse(const std::vector<std::uint8_t>& bytes) {
    std::size_t at = 0;
    const auto line = LineAfterHeader(bytes, at);
    if (!line || at != bytes.size())
        return std::nullopt;
    const std::size_t blank = line->find(' ');
    const std::string word = line->substr(0, blank);
    unsigned value = 0;
    const bool numbered = blank != std::string::npos && Number(line->substr(blank + 1), value);
    if (word == "ok" && blank == std::string::npos)
        return GuardResponse{GuardAnswer::Done, 0};
    if (word == "wrong" && blank == std::string::npos)
        return GuardResponse{GuardAnswer::WrongPassword, 0};
    if (word == "refused" && blank == std::string::npos)
        return GuardResponse{GuardAnswer::Refused, 0};
    if (word == "wait" && numbered)
        return GuardResponse{GuardAnswer::Wait, value};
    if (word == "failed" && numbered)
        return GuardResponse{GuardAnswer::Failed, value};
    return std::nullopt;
}

std::optional<GuardResponse> AskGuard(platform::GuardLink& link, const GuardRequest& request) {
    std::vector<std::uint8_t> message = EncodeRequest(request);
    if (message.size() > kMaxGuardMessage) {
        WipeBytes(message);
        return GuardResponse{GuardAnswer::Refused, 0};
    }
    const auto answer = link.Call(message);
    WipeBytes(message);
    if (!answer)
        return std::nullopt;
    return ParseResponse(*answer);
}

} // namespace common
