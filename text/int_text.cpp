// Field text to integer conversion.
#include "text/int_text.h"

#include "base/error.h"
#include "text/hex.h"

namespace kelvak {

namespace {

[[noreturn]] void invalid(const std::string& text) {
  throw KelvakError("'" + text + "' is not a valid integer value");
}

}  // namespace

std::int32_t fieldInteger(const std::string& text) {
  std::size_t i = 0;
  const std::size_t n = text.size();
  while (i < n && text[i] == ' ') ++i;
  if (i == n) invalid(text);

  // Hexadecimal: "$", "x" or "0x" (either case), no sign.
  std::size_t hexStart = std::string::npos;
  if (text[i] == '$' || text[i] == 'x' || text[i] == 'X') {
    hexStart = i + 1;
  } else if (text[i] == '0' && i + 1 < n && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    hexStart = i + 2;
  }
  if (hexStart != std::string::npos) {
    const std::size_t digits = n - hexStart;
    if (digits == 0 || digits > 8) invalid(text);
    std::uint32_t value = 0;
    for (std::size_t k = hexStart; k < n; ++k) {
      int d = hexDigitValue(text[k]);
      if (d < 0) invalid(text);
      value = (value << 4) | static_cast<std::uint32_t>(d);
    }
    return static_cast<std::int32_t>(value);
  }

  bool negative = false;
  if (text[i] == '+' || text[i] == '-') {
    negative = text[i] == '-';
    ++i;
  }
  if (i == n) invalid(text);
  // Accumulate as a magnitude; the limit is 2^31 for a negative value, 2^31 - 1 otherwise.
  const std::uint64_t limit = negative ? 2147483648ull : 2147483647ull;
  std::uint64_t value = 0;
  for (; i < n; ++i) {
    char c = text[i];
    if (c < '0' || c > '9') invalid(text);
    value = value * 10 + static_cast<std::uint64_t>(c - '0');
    if (value > limit) invalid(text);
  }
  return negative ? static_cast<std::int32_t>(-static_cast<std::int64_t>(value))
                  : static_cast<std::int32_t>(value);
}

}  // namespace kelvak
