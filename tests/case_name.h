// Names for the rows of parameterised tests, so that a failing case says which row it was. A
// test's name may hold only ASCII letters, digits and '_'.
#pragma once

#include <cctype>
#include <string>
#include <string_view>

namespace kelvak::testing_names {

// A row's description as a name: "a year before 1970" -> "AYearBefore1970". Other characters only
// part the words.
inline std::string caseName(std::string_view description) {
  std::string out;
  bool wordStart = true;
  for (const char c : description) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x80 && std::isalnum(u)) {
      out += wordStart ? static_cast<char>(std::toupper(u)) : c;
      wordStart = false;
    } else {
      wordStart = true;
    }
  }
  return out.empty() ? "Unnamed" : out;
}

// A row that is a text as its name, each byte other than a letter or a digit as _XX (hex), so no
// two texts give one name: "1 " -> "1_20", "" -> "Empty".
inline std::string textName(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (const char c : text) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x80 && std::isalnum(u)) {
      out += c;
    } else {
      out += '_';
      out += kHex[u >> 4];
      out += kHex[u & 0xF];
    }
  }
  return out.empty() ? "Empty" : out;
}

// A character as its code point: U+0444 -> "U0444".
inline std::string charName(char32_t c) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string digits;
  for (; c != 0 || digits.size() < 4; c >>= 4) digits.insert(digits.begin(), kHex[c & 0xF]);
  return "U" + digits;
}

}  // namespace kelvak::testing_names
