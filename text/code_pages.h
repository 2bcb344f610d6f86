// The single-byte Windows code pages: Windows-1251 (Cyrillic) and Windows-1252 (Western).
#pragma once

#include <cstdint>
#include <optional>

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

}  // namespace kelvak
