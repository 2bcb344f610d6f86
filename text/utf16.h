// UTF-16 in either byte order, decoded one byte at a time.
#pragma once

#include <cstdint>
#include <optional>

namespace kelvak {

enum class ByteOrder { Little, Big };

// The byte order a text's first two bytes announce when they are a UTF-16 byte-order mark
// (FF FE little-endian, FE FF big-endian, as Windows Notepad saves "Unicode"); nothing otherwise.
std::optional<ByteOrder> utf16ByteOrderMark(std::uint8_t first, std::uint8_t second);

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
