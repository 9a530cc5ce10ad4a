#include "setup/title_case.h"

namespace setup {

namespace {

constexpr unsigned char kMultiplication = 0xD7;
constexpr unsigned char kDivision = 0xF7;

bool IsSeparator(char c) {
    switch (c) {
    case ' ':
    case '\t':
    case '\n':
    case '\v':
    case '\f':
    case '\r':
    case '\0':
        return true;
    default:
        return false;
    }
}

} // namespace

char AnsiToLower(char c) {
    const auto u = static_cast<unsigned char>(c);
    if (u >= 'A' && u <= 'Z')
        return static_cast<char>(u + ('a' - 'A'));
    if (u >= 0xC0 && u <= 0xDE && u != kMultiplication)
        return static_cast<char>(u + 0x20);
    return c;
}

char AnsiToUpper(char c) {
    const auto u = static_cast<unsigned char>(c);
    if (u >= 'a' && u <= 'z')
        return static_cast<char>(u - ('a' - 'A'));
    if (u >= 0xE0 && u <= 0xFE && u != kDivision)
        return static_cast<char>(u - 0x20);
    return c;
}

std::string ToTitleCase(const std::string& text) {
    std::string result(text);
    bool startOfWord = true;
    for (char& c : result) {
        c = startOfWord ? AnsiToUpper(c) : AnsiToLower(c);
        startOfWord = IsSeparator(c);
    }
    return result;
}

} // namespace setup
