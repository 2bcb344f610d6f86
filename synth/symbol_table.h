// The fixed alphabet of the program: 46 symbols with their display character and Morse timing.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace kelvak {

constexpr int kSymbolCount = 46;
constexpr int kStartSignal = 41;       // -...- sent first in every transmission
constexpr int kLongZero = 45;          // ----- shown as "0"
constexpr int kMatchableSymbols = 45;  // lookups by character never return the long zero

struct Symbol {
  std::uint8_t cp1251;    // display character, Windows-1251 byte
  char32_t unicode;       // the same character as a Unicode code point
  const char* elements;   // dots and dashes, for reference and checks
  std::uint32_t pattern;  // bit 0 is the first time unit; 1 = tone on
  std::uint32_t length;   // time units used, including the four silent units at the end
};

// Index 0..45 -> symbol.
extern const std::array<Symbol, kSymbolCount> SymbolTable;

// The display character of a symbol as UTF-8 text.
std::string displayUtf8(int index);

// First index 0..44 whose display character is this Windows-1251 byte.
std::optional<int> indexOfByte(std::uint8_t byte);

// First index 0..44 whose display character is this Unicode code point.
std::optional<int> indexOfChar(char32_t ch);

// Sum of all symbol lengths [units].
std::uint32_t totalUnits();

}  // namespace kelvak
