#pragma once
#include <string>

namespace platform {

// Letter case by the system's Unicode rules. The system maps one UTF-16 code unit to one (so "ß" stays "ß" in upper
// case and the length never changes); a character that has no other case stays as it is.
class TextCase {
public:
    virtual ~TextCase() = default;
    virtual void Lower(std::u16string& text) const = 0;
    virtual void Upper(std::u16string& text) const = 0;

    // The same over the program's UTF-8 text.
    std::string Lowered(const std::string& utf8) const;
    std::string Uppered(const std::string& utf8) const;
    // The text with letter case taken out, for comparing: upper case, then lower, so that the letters whose cases
    // do not map back one to one fold together (Greek final and plain sigma; dotted, dotless and plain i).
    std::string Folded(const std::string& utf8) const;
};

} // namespace platform
