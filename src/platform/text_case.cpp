#include "platform/text_case.h"

#include "platform/utf.h"

namespace platform {

std::string TextCase::Lowered(const std::string& utf8) const {
    std::u16string text = Utf16(utf8);
    Lower(text);
    return Utf8(text);
}

std::string TextCase::Folded(const std::string& utf8) const {
    std::u16string text = Utf16(utf8);
    Upper(text);
    Lower(text);
    return Utf8(text);
}

std::string TextCase::Uppered(const std::string& utf8) const {
    std::u16string text = Utf16(utf8);
    Upper(text);
    return Utf8(text);
}

} // namespace platform
