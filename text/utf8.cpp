// UTF-8 encoding and decoding.
#include "text/utf8.h"

namespace kelvak {
namespace {
bool isSurrogate(char32_t ch) { return ch >= 0xD800 && ch <= 0xDFFF; }
}  // namespace

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

std::string utf8Of(char32_t ch) {
  std::string out;
  appendUtf8(out, ch);
  return out;
}

Utf8Decoder::Step Utf8Decoder::feed(std::uint8_t b) {
  if (needed_ > 0) {
    if ((b & 0xC0) != 0x80) {
      needed_ = 0;
      return Step::Invalid;
    }
    value_ = (value_ << 6) | (b & 0x3F);
    if (--needed_ > 0) return Step::Pending;
    if (value_ < minimum_ || value_ > 0x10FFFF || isSurrogate(value_)) return Step::Invalid;
    return Step::Char;
  }
  if (b < 0x80) {
    value_ = b;
    return Step::Char;
  }
  if ((b & 0xE0) == 0xC0) {
    value_ = b & 0x1F, needed_ = 1, minimum_ = 0x80;
  } else if ((b & 0xF0) == 0xE0) {
    value_ = b & 0x0F, needed_ = 2, minimum_ = 0x800;
  } else if ((b & 0xF8) == 0xF0) {
    value_ = b & 0x07, needed_ = 3, minimum_ = 0x10000;
  } else {
    return Step::Invalid;  // a continuation byte out of place, or F8..FF
  }
  return Step::Pending;
}

bool isValidUtf8(std::string_view bytes) {
  Utf8Decoder decoder;
  for (const char c : bytes) {
    // ASCII between sequences, most of a history's line, is well-formed as it stands.
    if (static_cast<std::uint8_t>(c) < 0x80 && !decoder.midSequence()) continue;
    if (decoder.feed(static_cast<std::uint8_t>(c)) == Utf8Decoder::Step::Invalid) return false;
  }
  return !decoder.midSequence();
}

std::u32string decodeUtf8(std::string_view bytes) {
  std::u32string out;
  std::size_t start = 0;
  while (start < bytes.size()) {
    // A sequence that fails anywhere costs its first byte alone: the next byte starts afresh.
    Utf8Decoder decoder;
    std::size_t end = start;
    Utf8Decoder::Step step = Utf8Decoder::Step::Pending;
    while (step == Utf8Decoder::Step::Pending && end < bytes.size()) {
      step = decoder.feed(static_cast<std::uint8_t>(bytes[end++]));
    }
    if (step == Utf8Decoder::Step::Char) {
      out += decoder.value();
      start = end;
    } else {
      out += U'\uFFFD';
      ++start;
    }
  }
  return out;
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
