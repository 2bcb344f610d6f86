// UTF-16 decoding.
#include "text/utf16.h"

namespace kelvak {

std::optional<ByteOrder> utf16ByteOrderMark(std::uint8_t first, std::uint8_t second) {
  if (first == 0xFF && second == 0xFE) return ByteOrder::Little;
  if (first == 0xFE && second == 0xFF) return ByteOrder::Big;
  return std::nullopt;
}

Utf16Decoder::Step Utf16Decoder::feed(std::uint8_t byte) {
  if (!haveByte_) {
    firstByte_ = byte;
    haveByte_ = true;
    return Step::Pending;
  }
  haveByte_ = false;
  const auto unit = static_cast<char16_t>(order_ == ByteOrder::Little ? firstByte_ | (byte << 8)
                                                                      : (firstByte_ << 8) | byte);
  const bool high = unit >= 0xD800 && unit <= 0xDBFF;
  const bool low = unit >= 0xDC00 && unit <= 0xDFFF;
  if (high_ != 0) {
    const char16_t first = high_;
    high_ = 0;
    if (low) {
      value_ = 0x10000 + ((static_cast<char32_t>(first) - 0xD800) << 10) + (unit - 0xDC00);
      return Step::Char;
    }
    // The pair was broken off: the waiting half is dropped and the new unit stands on its own.
  }
  if (high) {
    high_ = unit;
    return Step::Pending;
  }
  if (low) return Step::Invalid;
  value_ = unit;
  return Step::Char;
}

}  // namespace kelvak
