// UTF-8: encoding, a byte-at-a-time decoder, validation and decoding of validated text.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kelvak {

// Appends the UTF-8 form of a character; surrogates and values beyond U+10FFFF become U+FFFD.
void appendUtf8(std::string& out, char32_t ch);
std::string utf8Of(char32_t ch);

// Decodes UTF-8 fed one byte at a time, so text may arrive in pieces cut anywhere. Rejects what is
// not well-formed: overlong forms, surrogates, values beyond U+10FFFF, a continuation byte out of
// place and a sequence broken off by another lead byte.
class Utf8Decoder {
 public:
  enum class Step {
    Pending,  // inside a sequence: more bytes are needed
    Char,     // a character is complete: value() holds it
    Invalid,  // the byte cannot continue well-formed UTF-8; the decoder starts afresh
  };

  Step feed(std::uint8_t byte);
  char32_t value() const { return value_; }
  // A sequence has begun and is not complete.
  bool midSequence() const { return needed_ > 0; }

 private:
  char32_t value_ = 0;
  char32_t minimum_ = 0;  // smallest code point the current sequence may encode
  int needed_ = 0;        // continuation bytes still expected
};

// True when the bytes are well-formed UTF-8 with no sequence cut short.
bool isValidUtf8(std::string_view bytes);

// Decodes well-formed UTF-8 one character at a time; `pos` advances past the character.
// Only to be used on text that isValidUtf8 accepted.
char32_t nextUtf8Char(std::string_view text, std::size_t& pos);

// Decodes any bytes as UTF-8; every byte of an ill-formed sequence, also of one cut short at the
// end, reads as U+FFFD.
std::u32string decodeUtf8(std::string_view bytes);

}  // namespace kelvak
