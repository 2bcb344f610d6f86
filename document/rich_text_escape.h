// Turning UTF-8 text into the 7-bit form rich text stores characters in.
#pragma once

#include <string>
#include <string_view>

namespace kelvak {

// ASCII passes through unchanged, so rich-text markup in the input stays markup. Every other
// character becomes \'hh when the code page has a byte for it, otherwise \uN followed by "?" for
// readers without Unicode (characters beyond U+FFFF as a surrogate pair of two \u). Expects valid
// UTF-8 and a document that keeps the default \uc1.
std::string escapeRichText(std::string_view utf8, int codePage);

}  // namespace kelvak
