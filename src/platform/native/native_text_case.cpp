#include "platform/native/native_text_case.h"

#include <wctype.h>

namespace platform::native {

namespace {

// Maps each character; a surrogate pair is one character, and only a mapping that keeps the number of code units
// is taken, as the system's tables do.
template <class Map> void MapEach(std::u16string& text, Map map) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i];
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            const auto c = static_cast<wint_t>(0x10000 + ((unit - 0xD800) << 10) + (text[i + 1] - 0xDC00));
            const wint_t mapped = map(c);
            if (mapped >= 0x10000 && mapped <= 0x10FFFF) {
                text[i] = static_cast<char16_t>(0xD800 + ((mapped - 0x10000) >> 10));
                text[i + 1] = static_cast<char16_t>(0xDC00 + ((mapped - 0x10000) & 0x3FF));
            }
            ++i;
            continue;
        }
        if (unit >= 0xD800 && unit <= 0xDFFF)
            continue;
        const wint_t mapped = map(unit);
        if (mapped < 0x10000 && (mapped < 0xD800 || mapped > 0xDFFF))
            text[i] = static_cast<char16_t>(mapped);
    }
}

} // namespace

NativeTextCase::NativeTextCase() : m_locale(::newlocale(LC_CTYPE_MASK, "C.UTF-8", nullptr)) {}

NativeTextCase::~NativeTextCase() {
    if (m_locale)
        ::freelocale(m_locale);
}

void NativeTextCase::Lower(std::u16string& text) const {
    MapEach(text, [this](wint_t c) { return m_locale ? ::towlower_l(c, m_locale) : ::towlower(c); });
}

void NativeTextCase::Upper(std::u16string& text) const {
    MapEach(text, [this](wint_t c) { return m_locale ? ::towupper_l(c, m_locale) : ::towupper(c); });
}

} // namespace platform::native
