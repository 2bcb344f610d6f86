// The symbol table and its lookups.
#include "synth/symbol_table.h"

#include "text/utf8.h"

namespace kelvak {

const std::array<Symbol, kSymbolCount> SymbolTable = {{
    {0x30, U'0', "-", 0x7, 7},          {0x31, U'1', ".----", 0x1DDDD, 21},
    {0x32, U'2', "..---", 0x7775, 19},  {0x33, U'3', "...--", 0x1DD5, 17},
    {0x34, U'4', "....-", 0x755, 15},   {0x35, U'5', ".....", 0x155, 13},
    {0x36, U'6', "-....", 0x557, 15},   {0x37, U'7', "--...", 0x1577, 17},
    {0x38, U'8', "---..", 0x5777, 19},  {0x39, U'9', "----.", 0x17777, 21},
    {0xE0, U'а', ".-", 0x1D, 9},        {0xE1, U'б', "-...", 0x157, 13},
    {0xE2, U'в', ".--", 0x1DD, 13},     {0xE3, U'г', "--.", 0x177, 13},
    {0xE4, U'д', "-..", 0x57, 11},      {0xE5, U'е', ".", 0x1, 5},
    {0xE6, U'ж', "...-", 0x1D5, 13},    {0xE7, U'з', "--..", 0x577, 15},
    {0xE8, U'и', "..", 0x5, 7},         {0xE9, U'й', ".---", 0x1DDD, 17},
    {0xEA, U'к', "-.-", 0x1D7, 13},     {0xEB, U'л', ".-..", 0x15D, 13},
    {0xEC, U'м', "--", 0x77, 11},       {0xED, U'н', "-.", 0x17, 9},
    {0xEE, U'о', "---", 0x777, 15},     {0xEF, U'п', ".--.", 0x5DD, 15},
    {0xF0, U'р', ".-.", 0x5D, 11},      {0xF1, U'с', "...", 0x15, 9},
    {0xF2, U'т', "-", 0x7, 7},          {0xF3, U'у', "..-", 0x75, 11},
    {0xF4, U'ф', "..-.", 0x175, 13},    {0xF5, U'х', "....", 0x55, 11},
    {0xF6, U'ц', "-.-.", 0x5D7, 15},    {0xF7, U'ч', "---.", 0x1777, 17},
    {0xF8, U'ш', "----", 0x7777, 19},   {0xF9, U'щ', "--.-", 0x1D77, 17},
    {0xFB, U'ы', "-.--", 0x1DD7, 17},   {0xFD, U'э', "..-..", 0x575, 15},
    {0xFE, U'ю', "..--", 0x775, 15},    {0xFF, U'я', ".-.-", 0x75D, 15},
    {0xFC, U'ь', "-..-", 0x757, 15},    {0xB9, U'№', "-...-", 0x1D57, 17},
    {0x2D, U'-', "......", 0x555, 15},  {0x2F, U'/', "-..-.", 0x1757, 17},
    {0x3F, U'?', "..--..", 0x5775, 19}, {0x30, U'0', "-----", 0x77777, 23},
}};

std::string displayUtf8(int index) {
  return utf8Of(SymbolTable.at(static_cast<std::size_t>(index)).unicode);
}

namespace {
// Reverse lookup by byte, built at start-up (after SymbolTable, which this file defines first);
// -1 marks a byte with no symbol.
struct ByteIndex {
  std::array<signed char, 256> table{};
  ByteIndex() {
    table.fill(-1);
    for (int i = kMatchableSymbols - 1; i >= 0; --i)
      table[SymbolTable[i].cp1251] = static_cast<signed char>(i);
  }
};
const ByteIndex kByteIndex;
}  // namespace

std::optional<int> indexOfByte(std::uint8_t byte) {
  const int i = kByteIndex.table[byte];
  if (i < 0) return std::nullopt;
  return i;
}

std::optional<int> indexOfChar(char32_t ch) {
  for (int i = 0; i < kMatchableSymbols; ++i) {
    if (SymbolTable[i].unicode == ch) return i;
  }
  return std::nullopt;
}

std::uint32_t totalUnits() {
  std::uint32_t sum = 0;
  for (const Symbol& s : SymbolTable) sum += s.length;
  return sum;
}

}  // namespace kelvak
