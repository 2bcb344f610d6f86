// Conversion of a field's text to an integer, as the group count and pause fields are read.
#pragma once

#include <cstdint>
#include <string>

namespace kelvak {

// Leading spaces are skipped; then an optional sign and decimal digits, or (without a sign) a
// hexadecimal number of up to eight digits after "$", "x" or "0x", taken as a 32-bit pattern.
// Anything else throws KelvakError("'<text>' is not a valid integer value").
std::int32_t fieldInteger(const std::string& text);

}  // namespace kelvak
