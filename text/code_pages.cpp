// Tables of the Windows-1251 and Windows-1252 code pages and the UTF-8 helpers.
#include "text/code_pages.h"

#include <array>

namespace kelvak {
namespace {

// Upper halves (bytes 0x80..0xFF) of the two code pages; the lower half is ASCII in both.
// 0 marks a byte the code page leaves undefined.
constexpr std::array<char16_t, 128> kCyrillicHigh = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,  // 80
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,  // 88
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90
    0x0000, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,  // 98
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,  // A0
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,  // A8
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,  // B0
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,  // B8
    // C0..FF: А..я in alphabetical order, without Ё/ё (they sit at A8/B8).
    0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417, 0x0418, 0x0419, 0x041A, 0x041B,
    0x041C, 0x041D, 0x041E, 0x041F, 0x0420, 0x0421, 0x0422, 0x0423, 0x0424, 0x0425, 0x0426, 0x0427,
    0x0428, 0x0429, 0x042A, 0x042B, 0x042C, 0x042D, 0x042E, 0x042F, 0x0430, 0x0431, 0x0432, 0x0433,
    0x0434, 0x0435, 0x0436, 0x0437, 0x0438, 0x0439, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E, 0x043F,
    0x0440, 0x0441, 0x0442, 0x0443, 0x0444, 0x0445, 0x0446, 0x0447, 0x0448, 0x0449, 0x044A, 0x044B,
    0x044C, 0x044D, 0x044E, 0x044F};

// Only 0x80..0x9F differ from Latin-1 in Windows-1252.
constexpr std::array<char16_t, 32> kWesternC1 = {
    0x20AC, 0x0000, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x0000, 0x017D, 0x0000,  // 88
    0x0000, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x0000, 0x017E, 0x0178};

bool isSurrogate(char32_t ch) { return ch >= 0xD800 && ch <= 0xDFFF; }

}  // namespace

char32_t decodeCodePageByte(int codePage, std::uint8_t byte) {
  if (byte < 0x80) return byte;
  char16_t mapped = 0;
  if (codePage == kCodePageCyrillic) {
    mapped = kCyrillicHigh[byte - 0x80];
  } else if (byte < 0xA0) {
    mapped = kWesternC1[byte - 0x80];
  } else {
    mapped = byte;
  }
  return mapped != 0 ? mapped : byte;
}

std::optional<std::uint8_t> encodeCodePageChar(int codePage, char32_t ch) {
  if (ch < 0x80) return static_cast<std::uint8_t>(ch);
  // 128 candidates: a linear search is cheaper than keeping reverse tables in step.
  for (int byte = 0x80; byte <= 0xFF; ++byte) {
    if (decodeCodePageByte(codePage, static_cast<std::uint8_t>(byte)) == ch) {
      return static_cast<std::uint8_t>(byte);
    }
  }
  return std::nullopt;
}

std::optional<int> codePageOfCharset(int charset) {
  switch (charset) {
    case 0:  // ANSI_CHARSET: Windows takes it as the Western code page
    case 2:  // SYMBOL_CHARSET: symbol fonts are drawn from the Western code points
      return kCodePageWestern;
    case 204:  // RUSSIAN_CHARSET
      return kCodePageCyrillic;
    default:
      return std::nullopt;
  }
}

void appendUtf8(std::string& out, char32_t ch) {
  if (isSurrogate(ch) || ch > 0x10FFFF) ch = 0xFFFD;
  if (ch < 0x80) {
    out.push_back(static_cast<char>(ch));
  } else if (ch < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (ch >> 6)));
    out.push_back(static_cast<char>(0x80 | (ch & 0x3F)));
  } else if (ch < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (ch >> 12)));
    out.push_back(static_cast<char>(0x80 | ((ch >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (ch & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (ch >> 18)));
    out.push_back(static_cast<char>(0x80 | ((ch >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((ch >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (ch & 0x3F)));
  }
}

bool isValidUtf8(std::string_view bytes) {
  std::size_t i = 0;
  const std::size_t n = bytes.size();
  while (i < n) {
    const auto b0 = static_cast<std::uint8_t>(bytes[i]);
    if (b0 < 0x80) {
      ++i;
      continue;
    }
    int extra = 0;
    char32_t ch = 0;
    char32_t minimum = 0;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
      extra = 1, ch = b0 & 0x1F, minimum = 0x80;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
      extra = 2, ch = b0 & 0x0F, minimum = 0x800;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
      extra = 3, ch = b0 & 0x07, minimum = 0x10000;
    } else {
      return false;  // continuation byte out of place, overlong lead C0/C1, or F5..FF
    }
    if (n - i <= static_cast<std::size_t>(extra)) return false;
    for (int k = 1; k <= extra; ++k) {
      const auto b = static_cast<std::uint8_t>(bytes[i + k]);
      if ((b & 0xC0) != 0x80) return false;
      ch = (ch << 6) | (b & 0x3F);
    }
    if (ch < minimum || ch > 0x10FFFF || isSurrogate(ch)) return false;
    i += static_cast<std::size_t>(extra) + 1;
  }
  return true;
}

char32_t nextUtf8Char(std::string_view text, std::size_t& pos) {
  const auto b0 = static_cast<std::uint8_t>(text[pos++]);
  if (b0 < 0x80) return b0;
  int extra = b0 >= 0xF0 ? 3 : b0 >= 0xE0 ? 2 : 1;
  char32_t ch = b0 & (0x3F >> extra);
  while (extra-- > 0 && pos < text.size()) {
    ch = (ch << 6) | (static_cast<std::uint8_t>(text[pos++]) & 0x3F);
  }
  return ch;
}

}  // namespace kelvak
