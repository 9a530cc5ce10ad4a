#include "setup/title_case.h"

#include "platform/utf.h"

namespace setup {

namespace {

bool IsSeparator(char16_t c) {
    switch (c) {
    case u' ':
    case u'\t':
    case u'\n':
    case u'\v':
    case u'\f':
    case u'\r':
    case u'\0':
        return true;
    default:
        return false;
    }
}

bool IsHighSurrogate(char16_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}

} // namespace

std::string ToTitleCase(const std::string& text, const platform::TextCase& textCase) {
    std::u16string result = platform::Utf16(text);
    textCase.Lower(result);
    bool startOfWord = true;
    for (std::size_t i = 0; i < result.size();) {
        const std::size_t size = IsHighSurrogate(result[i]) && i + 1 < result.size() ? 2 : 1;
        if (startOfWord) {
            std::u16string character = result.substr(i, size);
            textCase.Upper(character);
            result.replace(i, size, character);
        }
        startOfWord = size == 1 && IsSeparator(result[i]);
        i += size;
    }
    return platform::Utf8(result);
}

} // namespace setup
