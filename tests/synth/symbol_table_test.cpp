// The alphabet: patterns follow the dot/dash rule, lookups skip the long zero.
#include "synth/symbol_table.h"

#include <gtest/gtest.h>

#include <set>

namespace kelvak {
namespace {

// Rebuilds a pattern from its dots and dashes: dot one unit on, dash three, one unit off between
// elements, four units off at the end.
std::pair<std::uint32_t, std::uint32_t> patternFromElements(const std::string& elements) {
  std::uint32_t pattern = 0;
  std::uint32_t bit = 0;
  for (std::size_t k = 0; k < elements.size(); ++k) {
    const int on = elements[k] == '-' ? 3 : 1;
    for (int u = 0; u < on; ++u) pattern |= 1u << bit++;
    if (k + 1 < elements.size()) ++bit;
  }
  return {pattern, bit + 4};
}

TEST(SymbolTable, EveryPatternFollowsTheDotDashRule) {
  for (int i = 0; i < kSymbolCount; ++i) {
    const Symbol& s = SymbolTable[i];
    auto [pattern, length] = patternFromElements(s.elements);
    EXPECT_EQ(s.pattern, pattern) << "index " << i;
    EXPECT_EQ(s.length, length) << "index " << i;
  }
}

TEST(SymbolTable, LengthsSumTo654AndExtremesAreDotAndLongZero) {
  EXPECT_EQ(totalUnits(), 654u);
  EXPECT_EQ(SymbolTable[15].length, 5u);
  EXPECT_EQ(SymbolTable[kLongZero].length, 23u);
  for (const Symbol& s : SymbolTable) {
    EXPECT_GE(s.length, 5u);
    EXPECT_LE(s.length, 23u);
  }
}

TEST(SymbolTable, ShortZeroAndTeShareTheirSoundButNotTheirCharacter) {
  EXPECT_EQ(SymbolTable[0].pattern, SymbolTable[28].pattern);
  EXPECT_EQ(SymbolTable[0].length, 7u);
  EXPECT_EQ(displayUtf8(0), "0");
  EXPECT_EQ(displayUtf8(28), "т");
  EXPECT_EQ(displayUtf8(kLongZero), "0");
}

TEST(SymbolTable, DisplayAlphabetMatchesTheWindows1251Bytes) {
  const std::string alphabet = "0123456789абвгдежзийклмнопрстуфхцчшщыэюяь№-/?0";
  std::string joined;
  for (int i = 0; i < kSymbolCount; ++i) joined += displayUtf8(i);
  EXPECT_EQ(joined, alphabet);
  // The Cyrillic letters sit at 0xE0 + their place in the alphabet, with ъ (0xFA) and ё absent.
  for (int i = 10; i <= 40; ++i) {
    const Symbol& s = SymbolTable[i];
    EXPECT_EQ(s.unicode - U'а', static_cast<char32_t>(s.cp1251 - 0xE0)) << i;
  }
  EXPECT_EQ(SymbolTable[kStartSignal].cp1251, 0xB9);
  EXPECT_EQ(SymbolTable[kStartSignal].unicode, U'№');
  // The sign shown as № sounds -...-, the hyphen six dots.
  EXPECT_STREQ(SymbolTable[41].elements, "-...-");
  EXPECT_STREQ(SymbolTable[42].elements, "......");
}

TEST(SymbolTable, LookupsReturnTheFirstMatchAndNeverTheLongZero) {
  EXPECT_EQ(indexOfByte('0'), 0);
  EXPECT_EQ(indexOfChar(U'0'), 0);
  EXPECT_EQ(indexOfByte(0xB9), 41);
  EXPECT_EQ(indexOfChar(U'№'), 41);
  EXPECT_EQ(indexOfByte(0xFC), 40);
  EXPECT_EQ(indexOfChar(U'я'), 39);
  for (int i = 0; i < kMatchableSymbols; ++i) {
    EXPECT_EQ(indexOfByte(SymbolTable[i].cp1251), i);
    EXPECT_EQ(indexOfChar(SymbolTable[i].unicode), i);
  }
}

TEST(SymbolTable, CapitalsLatinHardSignYoAndSpacesHaveNoIndex) {
  for (std::uint8_t b :
       {0xC0, 0xD2, 0xDF, 0xFA, 0xB8, 0xA8, 0x20, 0x0A, 0x0D, 0x41, 0x61, 0x1A, 0x2E, 0x2C, 0x00}) {
    EXPECT_FALSE(indexOfByte(b).has_value()) << int(b);
  }
  for (char32_t c : {U'А', U'Т', U'ъ', U'ё', U'Ё', U' ', U'a', U'Z', U'\n'}) {
    EXPECT_FALSE(indexOfChar(c).has_value());
  }
  // No byte other than the 45 matchable characters has an index.
  std::set<int> matched;
  for (int b = 0; b < 256; ++b) {
    if (indexOfByte(static_cast<std::uint8_t>(b))) matched.insert(b);
  }
  EXPECT_EQ(matched.size(), 45u);
}

}  // namespace
}  // namespace kelvak
