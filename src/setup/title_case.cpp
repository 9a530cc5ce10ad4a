#include "setup/title_case.h"

namespace setup {

namespace {

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

std::string ToTitleCase(const std::string& text, const platform::TextCase& textCase) {
    std::string result(text);
    bool startOfWord = true;
    for (std::size_t i = 0; i < result.size();) {
        // A lead byte cut off at the end of the text stands alone.
        const std::size_t size = textCase.IsLeadByte(result[i]) && i + 1 < result.size() ? 2 : 1;
        char* character = &result[i];
        if (startOfWord)
            textCase.Upper(character, size);
        else
            textCase.Lower(character, size);
        startOfWord = size == 1 && IsSeparator(*character);
        i += size;
    }
    return result;
}

} // namespace setup
