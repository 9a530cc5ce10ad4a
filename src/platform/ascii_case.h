#pragma once
#include <algorithm>
#include <string>

namespace platform {

// Letter case of the ASCII letters alone: for names that the system compares without regard to case (registry
// value names, window classes) and for orders that must not depend on the user's language. Other characters,
// the bytes of UTF-8 sequences included, stay as they are.
constexpr char AsciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

inline std::string AsciiLowered(std::string text) {
    for (char& c : text)
        c = AsciiLower(c);
    return text;
}

inline bool EqualIgnoringAsciiCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return AsciiLower(x) == AsciiLower(y); });
}

} // namespace platform
