// UTF-16 in either byte order, decoded one byte at a time.
#pragma once

#include <cstdint>

namespace kelvak {

enum class ByteOrder { Little, Big };

// Decodes UTF-16 fed one byte at a time. Surrogate pairs combine into one character; a high
// surrogate without its low half is dropped, and a lone low surrogate is reported as invalid.
class Utf16Decoder {
 public:
  enum class Step { Pending, Char, Invalid };

  explicit Utf16Decoder(ByteOrder order) : order_(order) {}
  Step feed(std::uint8_t byte);
  char32_t value() const { return value_; }
  // Part of a unit or a pair has been fed and not completed.
  bool midSequence() const { return haveByte_ || high_ != 0; }

 private:
  ByteOrder order_;
  bool haveByte_ = false;
  std::uint8_t firstByte_ = 0;
  char16_t high_ = 0;  // a high surrogate waiting for its low half
  char32_t value_ = 0;
};

}  // namespace kelvak
