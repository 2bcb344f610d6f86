// Single-byte Windows code pages and UTF-8 helpers used by the document reader.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kelvak {

// Windows code pages the reader knows by table; any other number is read as 1252, the code page
// rich text assumes when it names none.
inline constexpr int kCodePageCyrillic = 1251;
inline constexpr int kCodePageWestern = 1252;

// The character a byte stands for in the given code page. Bytes the code page leaves undefined
// come out as the C1 control of the same value, as Windows itself converts them.
char32_t decodeCodePageByte(int codePage, std::uint8_t byte);

// The byte that stands for the character in the given code page, or nothing when it has none.
std::optional<std::uint8_t> encodeCodePageChar(int codePage, char32_t ch);

// The code page a font's \fcharset number selects (0 ANSI and 2 symbol: 1252; 204 Russian: 1251);
// nothing for 1 "default" and for the charsets without a table here, which leave the document's
// own code page in force.
std::optional<int> codePageOfCharset(int charset);

// Appends the UTF-8 form of a character; surrogates and values beyond U+10FFFF become U+FFFD.
void appendUtf8(std::string& out, char32_t ch);

// True when the bytes are well-formed UTF-8: no overlong forms, no surrogates, nothing beyond
// U+10FFFF, no sequence cut short.
bool isValidUtf8(std::string_view bytes);

// Decodes well-formed UTF-8 one character at a time; `pos` advances past the character.
// Only to be used on text that isValidUtf8 accepted.
char32_t nextUtf8Char(std::string_view text, std::size_t& pos);

}  // namespace kelvak
