#pragma once
#include <cstddef>
#include <string>

namespace platform {

// The program keeps text as UTF-8 in std::string, from the window titles it reads to the items it stores; the
// system speaks UTF-16 (the wide calls). These convert between the two at that border. Nothing is lost for
// well-formed text; a broken sequence (a lone surrogate in a window title, a stray byte) becomes U+FFFD, so that
// whatever the system hands over is text the program can match, show and store.
std::u16string Utf16(const std::string& utf8);
std::string Utf8(const std::u16string& utf16);
std::string Utf8(const char16_t* utf16, std::size_t length);

// How many UTF-16 code units the text takes: the system's "characters", in which window titles and value data
// are measured.
std::size_t Utf16Length(const std::string& utf8);

// The text cut to at most maxUnits UTF-16 code units, never inside a character.
std::string CutToUtf16Units(const std::string& utf8, std::size_t maxUnits);

} // namespace platform
