// Escaping of non-ASCII text for rich-text documents written by the program's tools.
#include "document/rich_text_escape.h"

#include <cstdio>
#include <optional>

#include "text/code_pages.h"
#include "text/utf8.h"

namespace kelvak {
namespace {

void appendUnicode(std::string& out, char32_t unit) {
  // \u takes a signed 16-bit number.
  const int value = unit > 0x7FFF ? static_cast<int>(unit) - 0x10000 : static_cast<int>(unit);
  out += "\\u" + std::to_string(value) + "?";
}

}  // namespace

std::string escapeRichText(std::string_view utf8, int codePage) {
  std::string out;
  out.reserve(utf8.size() * 2);
  std::size_t pos = 0;
  while (pos < utf8.size()) {
    const char32_t ch = nextUtf8Char(utf8, pos);
    if (ch < 0x80) {
      out.push_back(static_cast<char>(ch));
    } else if (const std::optional<std::uint8_t> byte = encodeCodePageChar(codePage, ch)) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\'%02x", *byte);
      out += hex;
    } else if (ch > 0xFFFF) {
      const char32_t offset = ch - 0x10000;
      appendUnicode(out, 0xD800 + (offset >> 10));
      appendUnicode(out, 0xDC00 + (offset & 0x3FF));
    } else {
      appendUnicode(out, ch);
    }
  }
  return out;
}

}  // namespace kelvak
