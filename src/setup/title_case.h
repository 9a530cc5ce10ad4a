#pragma once
#include <string>

namespace setup {

// Letter case of ANSI text: ASCII letters and the accented Latin letters of the Western code page
// (0xC0-0xDE with 0xE0-0xFE, not the multiplication and division signs). Other bytes stay as they are.
char AnsiToLower(char c);
char AnsiToUpper(char c);

// Rewrites the text in title case: every character lower case, then the first character and every character
// directly after a separator upper case. Separators are space, tab, line feed, vertical tab, form feed, carriage
// return and NUL; hyphens, apostrophes, digits and the like belong to the word ("o'neil-smith" -> "O'neil-smith").
std::string ToTitleCase(const std::string& text);

} // namespace setup
