#pragma once
#include <optional>
#include <string>

namespace platform {

// The system's ANSI code page, in which the program kept its text before it moved to Unicode: what an earlier
// release stored from it (a password hashed from its bytes) is checked through it.
class AnsiCodePage {
public:
    virtual ~AnsiCodePage() = default;
    // The text's bytes in the code page; nullopt when a character has no place in it.
    virtual std::optional<std::string> Encode(const std::string& utf8) const = 0;
};

} // namespace platform
