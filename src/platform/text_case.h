#pragma once
#include <cstddef>

namespace platform {

// Letter case of text in the ANSI code page in use, by that code page's rules. A character is one byte, or two
// where the code page has double-byte characters; their second byte may look like an ASCII letter, but is none.
class TextCase {
public:
    virtual ~TextCase() = default;
    // True when the byte starts a double-byte character: the byte after it belongs to the same character.
    virtual bool IsLeadByte(char byte) const = 0;
    // The character of size bytes (1 or 2) at character, in lower or upper case, in place. A character whose
    // partner has no place in the code page stays as it is.
    virtual void Lower(char* character, std::size_t size) const = 0;
    virtual void Upper(char* character, std::size_t size) const = 0;
};

} // namespace platform
