#pragma once
#include <string>

#include "platform/text_case.h"

namespace setup {

// Rewrites the text in title case: every character lower case, then the first character and every character
// directly after a separator upper case, by the letter-case rules of the code page. Separators are space, tab, line
// feed, vertical tab, form feed, carriage return and NUL; hyphens, apostrophes, digits and the like belong to the
// word ("o'neil-smith" -> "O'neil-smith"). A double-byte character is one character: its second byte is never
// taken for a letter or a separator of its own.
std::string ToTitleCase(const std::string& text, const platform::TextCase& textCase);

} // namespace setup
