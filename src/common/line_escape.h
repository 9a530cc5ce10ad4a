#pragma once
#include <optional>
#include <string>

#include "common/hex.h"

namespace common {

// One line of text in the program's line-based messages (the hand-over file, the guard's channel), whatever bytes
// the text holds.
// Every byte that could end a line or hide in one (control characters, DEL, the escape sign) goes as %HH.
inline std::string EscapeLine(const std::string& text) {
    std::string out;
    for (char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F || c == '%') {
            out += '%';
            out += common::kHexDigits[u >> 4];
            out += common::kHexDigits[u & 0xF];
        } else {
            out += c;
        }
    }
    return out;
}

// The inverse of EscapeLine; nullopt for anything EscapeLine would not have written.
inline std::optional<std::string> UnescapeLine(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto u = static_cast<unsigned char>(text[i]);
        if (u < 0x20 || u == 0x7F)
            return std::nullopt;
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        if (i + 2 >= text.size())
            return std::nullopt;
        const int high = common::HexValue(text[i + 1]);
        const int low = common::HexValue(text[i + 2]);
        if (high < 0 || low < 0)
            return std::nullopt;
        const auto decoded = static_cast<unsigned char>(high * 16 + low);
        if (decoded >= 0x20 && decoded != 0x7F && decoded != '%')
            return std::nullopt; // not escaped by EscapeLine: one text, one form
        out += static_cast<char>(decoded);
        i += 2;
    }
    return out;
}

} // namespace common
