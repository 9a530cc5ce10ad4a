#include "platform/utf.h"

namespace platform {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// The code point that starts at text[i], and how many bytes it takes; a malformed or overlong sequence, a
// surrogate or a value past U+10FFFF is one U+FFFD for its first byte.
char32_t DecodeAt(const std::string& text, std::size_t i, std::size_t& size) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    size = 1;
    if (lead < 0x80)
        return lead;
    std::size_t length = 0;
    char32_t value = 0;
    char32_t minimum = 0;
    if ((lead & 0xE0) == 0xC0) {
        length = 2, value = lead & 0x1F, minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, value = lead & 0x0F, minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, value = lead & 0x07, minimum = 0x10000;
    } else {
        return kReplacement;
    }
    if (i + length > text.size())
        return kReplacement;
    for (std::size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80)
            return kReplacement;
        value = (value << 6) | (byte(i + k) & 0x3F);
    }
    if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
        return kReplacement;
    size = length;
    return value;
}

void Append(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

std::size_t UnitsOf(char32_t c) {
    return c >= 0x10000 ? 2 : 1;
}

} // namespace

std::u16string Utf16(const std::string& utf8) {
    std::u16string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        std::size_t size = 1;
        const char32_t c = DecodeAt(utf8, i, size);
        i += size;
        if (c >= 0x10000) {
            out += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
            out += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            out += static_cast<char16_t>(c);
        }
    }
    return out;
}

std::string Utf8(const char16_t* utf16, std::size_t length) {
    std::string out;
    out.reserve(length);
    for (std::size_t i = 0; i < length; ++i) {
        const char16_t unit = utf16[i];
        char32_t c = unit;
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < length && utf16[i + 1] >= 0xDC00 && utf16[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((static_cast<char32_t>(unit) - 0xD800) << 10) + (utf16[i + 1] - 0xDC00);
            ++i;
        } else if (unit >= 0xD800 && unit <= 0xDFFF) {
            c = kReplacement;
        }
        Append(out, c);
    }
    return out;
}

std::string Utf8(const std::u16string& utf16) {
    return Utf8(utf16.data(), utf16.size());
}

std::size_t Utf16Length(const std::string& utf8) {
    std::size_t units = 0;
    for (std::size_t i = 0; i < utf8.size();) {
        std::size_t size = 1;
        units += UnitsOf(DecodeAt(utf8, i, size));
        i += size;
    }
    return units;
}

std::string CutToUtf16Units(const std::string& utf8, std::size_t maxUnits) {
    std::size_t units = 0;
    for (std::size_t i = 0; i < utf8.size();) {
        std::size_t size = 1;
        const std::size_t take = UnitsOf(DecodeAt(utf8, i, size));
        if (units + take > maxUnits)
            return utf8.substr(0, i);
        units += take;
        i += size;
    }
    return utf8;
}

} // namespace platform
