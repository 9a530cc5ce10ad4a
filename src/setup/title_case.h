#pragma once
#include <string>

#include "platform/text_case.h"

namespace setup {

// Rewrites the text in title case: every character lower case, then the first character and every character
// directly after a separator upper case, by the system's letter-case rules. Separators are space, tab, line feed,
// vertical tab, form feed, carriage return and NUL; hyphens, apostrophes, digits and the like belong to the word
// ("o'neil-smith" -> "O'neil-smith"). A character outside the basic plane (two UTF-16 units) is one character.
std::string ToTitleCase(const std::string& text, const platform::TextCase& textCase);

} // namespace setup
