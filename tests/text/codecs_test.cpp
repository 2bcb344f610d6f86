// The code-page tables against the system's converter, and the UTF-8 and UTF-16 decoders.
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>

#include "synth/symbol_table.h"
#include "tests/case_name.h"
#include "tests/platform/system.h"
#include "text/code_pages.h"
#include "text/utf16.h"
#include "text/utf8.h"

namespace kelvak {
namespace {

struct CodePageCase {
  int codePage;
  const char* iconvName;
};

class CodePageTable : public testing::TestWithParam<CodePageCase> {};

TEST_P(CodePageTable, AgreesWithTheSystemConverterOnEveryDefinedByte) {
  int compared = 0;
  for (int byte = 0; byte < 256; ++byte) {
    const std::optional<char32_t> expected = test_platform::systemCodePageChar(
        GetParam().codePage, GetParam().iconvName, static_cast<std::uint8_t>(byte));
    if (!expected) continue;  // a byte the code page leaves undefined
    ++compared;
    EXPECT_EQ(decodeCodePageByte(GetParam().codePage, static_cast<std::uint8_t>(byte)), *expected)
        << "byte 0x" << std::hex << byte;
  }
  EXPECT_GE(compared, 251);  // at most five undefined bytes in either code page
}

TEST_P(CodePageTable, EncodingUndoesDecodingForEveryByte) {
  for (int byte = 0; byte < 256; ++byte) {
    const char32_t ch = decodeCodePageByte(GetParam().codePage, static_cast<std::uint8_t>(byte));
    EXPECT_EQ(encodeCodePageChar(GetParam().codePage, ch), std::optional<std::uint8_t>(byte))
        << "byte 0x" << std::hex << byte;
  }
}

INSTANTIATE_TEST_SUITE_P(WindowsCodePages, CodePageTable,
                         testing::Values(CodePageCase{kCodePageCyrillic, "CP1251"},
                                         CodePageCase{kCodePageWestern, "CP1252"}),
                         [](const auto& info) { return std::string(info.param.iconvName); });

TEST(CodePages, CyrillicTableMatchesTheProgramsAlphabet) {
  for (const Symbol& symbol : SymbolTable) {
    EXPECT_EQ(decodeCodePageByte(kCodePageCyrillic, symbol.cp1251), symbol.unicode);
  }
}

TEST(CodePages, CharactersOutsideTheCodePageHaveNoByte) {
  EXPECT_EQ(encodeCodePageChar(kCodePageCyrillic, U'×'), std::nullopt);
  EXPECT_EQ(encodeCodePageChar(kCodePageCyrillic, U'é'), std::nullopt);
  EXPECT_EQ(encodeCodePageChar(kCodePageWestern, U'Я'), std::nullopt);
  EXPECT_EQ(encodeCodePageChar(kCodePageWestern, U'😀'), std::nullopt);
}

TEST(CodePages, FontCharsetsNameTheirCodePage) {
  EXPECT_EQ(codePageOfCharset(0), kCodePageWestern);
  EXPECT_EQ(codePageOfCharset(2), kCodePageWestern);
  EXPECT_EQ(codePageOfCharset(204), kCodePageCyrillic);
  EXPECT_EQ(codePageOfCharset(238), std::nullopt);
}

TEST(CodePages, UnknownCodePagesReadAsWestern) {
  EXPECT_EQ(decodeCodePageByte(866, 0xE0), U'à');
  EXPECT_EQ(decodeCodePageByte(0, 0x80), U'€');
}

struct Utf8Case {
  const char* bytes;
  bool valid;
};

class Utf8Validity : public testing::TestWithParam<Utf8Case> {};

TEST_P(Utf8Validity, IsRecognised) { EXPECT_EQ(isValidUtf8(GetParam().bytes), GetParam().valid); }

INSTANTIATE_TEST_SUITE_P(Sequences, Utf8Validity,
                         testing::Values(Utf8Case{"", true}, Utf8Case{"plain ASCII", true},
                                         Utf8Case{"\xD0\x9F\xD1\x80\xD0\xB8", true},  // При
                                         Utf8Case{"\xE2\x84\x96", true},              // №
                                         Utf8Case{"\xF0\x9F\x98\x80", true},          // U+1F600
                                         Utf8Case{"\xF4\x8F\xBF\xBF", true},          // U+10FFFF
                                         Utf8Case{"\xEF\xBB\xBFtext", true},  // byte-order mark
                                         Utf8Case{"\xCF\xF0\xE8", false},  // При in Windows-1251
                                         Utf8Case{"\x80", false},          // lone continuation
                                         Utf8Case{"\xC0\xAF", false},      // overlong "/"
                                         Utf8Case{"\xE0\x80\xAF", false},  // overlong "/"
                                         Utf8Case{"\xF0\x80\x80\xAF", false},  // overlong "/"
                                         Utf8Case{"\xED\xA0\x80", false},      // surrogate D800
                                         Utf8Case{"\xF4\x90\x80\x80", false},  // beyond U+10FFFF
                                         Utf8Case{"\xF5\x80\x80\x80", false},  // F5 never leads
                                         Utf8Case{"\xF8\x90\x80\x80", false},  // nor F8
                                         Utf8Case{"\xE2\x84", false},          // cut short
                                         Utf8Case{"a\xD0", false},      // cut short at the end
                                         Utf8Case{"\xD0\x41", false}),  // continuation missing
                         [](const auto& info) {
                           return testing_names::textName(info.param.bytes);
                         });

// An answer key may hold any bytes: each byte of a broken sequence reads as a replacement
// character, and the byte that broke it off begins the next.
TEST(Utf8, AnyBytesDecodeWithReplacements) {
  EXPECT_EQ(decodeUtf8("\xD0\x9F\xD1\x80 1"), U"Пр 1");
  EXPECT_EQ(decodeUtf8("\xD0\x41"), U"\uFFFDA");
  EXPECT_EQ(decodeUtf8("a\xD0"), U"a\uFFFD");
  EXPECT_EQ(decodeUtf8("\xCF\xF0\xE8"), U"\uFFFD\uFFFD\uFFFD");    // При in Windows-1251
  EXPECT_EQ(decodeUtf8("\xED\xA0\x80z"), U"\uFFFD\uFFFD\uFFFDz");  // a surrogate
  EXPECT_EQ(decodeUtf8("\xE2\x84"), U"\uFFFD\uFFFD");
  EXPECT_EQ(decodeUtf8("\x80\xD0\x9F"), U"\uFFFDП");
}

class Utf8RoundTrip : public testing::TestWithParam<char32_t> {};

TEST_P(Utf8RoundTrip, DecodesWhatWasEncoded) {
  const std::string text = utf8Of(GetParam());
  ASSERT_TRUE(isValidUtf8(text));
  std::size_t pos = 0;
  EXPECT_EQ(nextUtf8Char(text, pos), GetParam());
  EXPECT_EQ(pos, text.size());
}

INSTANTIATE_TEST_SUITE_P(BoundaryCodePoints, Utf8RoundTrip,
                         testing::Values(U'\0', char32_t{0x7F}, char32_t{0x80}, char32_t{0x7FF},
                                         char32_t{0x800}, char32_t{0xD7FF}, char32_t{0xE000},
                                         char32_t{0xFFFF}, char32_t{0x10000}, char32_t{0x10FFFF}),
                         [](const auto& info) {
                           char name[16];
                           std::snprintf(name, sizeof name, "U%04X", unsigned{info.param});
                           return std::string(name);
                         });

TEST(Utf8, UnencodableValuesBecomeTheReplacementCharacter) {
  for (const char32_t bad : {char32_t{0xD800}, char32_t{0xDFFF}, char32_t{0x110000}}) {
    std::string text;
    appendUtf8(text, bad);
    EXPECT_EQ(text, "\xEF\xBF\xBD");
  }
}

// Decodes bytes one at a time, writing each character as UTF-8 and each invalid step as "!".
template <typename Decoder>
std::string decodeByBytes(Decoder decoder, std::string_view bytes) {
  std::string out;
  for (const char c : bytes) {
    switch (decoder.feed(static_cast<std::uint8_t>(c))) {
      case Decoder::Step::Char:
        appendUtf8(out, decoder.value());
        break;
      case Decoder::Step::Invalid:
        out += '!';
        break;
      case Decoder::Step::Pending:
        break;
    }
  }
  if (decoder.midSequence()) out += '~';
  return out;
}

TEST(Utf8Decoder, StartsAfreshAfterAnInvalidByteAndTellsACutSequence) {
  EXPECT_EQ(decodeByBytes(Utf8Decoder(), "\xD0\x9F\x80\xD1\x80"), "П!р");
  EXPECT_EQ(decodeByBytes(Utf8Decoder(), "a\xE2\x84"), "a~");
}

struct Utf16Case {
  ByteOrder order;
  std::string bytes;
  std::string expected;  // UTF-8, "!" for an invalid unit, "~" for a unit or pair left open
};

class Utf16Decoding : public testing::TestWithParam<Utf16Case> {};

TEST_P(Utf16Decoding, GivesTheCharacters) {
  EXPECT_EQ(decodeByBytes(Utf16Decoder(GetParam().order), GetParam().bytes), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Units, Utf16Decoding,
    testing::Values(
        Utf16Case{ByteOrder::Little,
                  std::string("\x1F\x04\x40\x04"
                              "5\0",
                              6),
                  "Пр5"},
        Utf16Case{ByteOrder::Big,
                  std::string("\x04\x1F\x04\x40\0"
                              "5",
                              6),
                  "Пр5"},
        Utf16Case{ByteOrder::Little, std::string("\x3D\xD8\x00\xDE", 4), "\xF0\x9F\x98\x80"},
        Utf16Case{ByteOrder::Big, std::string("\xD8\x3D\xDE\x00", 4), "\xF0\x9F\x98\x80"},
        Utf16Case{ByteOrder::Little, std::string("\xFF\xDB\xFF\xDF", 4), "\xF4\x8F\xBF\xBF"},
        Utf16Case{ByteOrder::Little,
                  std::string("\x00\xDE"
                              "a\0",
                              4),
                  "!a"},  // lone low half
        Utf16Case{ByteOrder::Little,
                  std::string("\x3D\xD8"
                              "a\0",
                              4),
                  "a"},                                                  // pair broken off
        Utf16Case{ByteOrder::Little, std::string("a\0\x3D", 3), "a~"}),  // odd length
    [](const testing::TestParamInfo<Utf16Case>& info) {
      return (info.param.order == ByteOrder::Little ? "Le" : "Be") + std::to_string(info.index);
    });

TEST(Utf16, OnlyTheTwoByteOrderMarksAnnounceUtf16) {
  EXPECT_EQ(utf16ByteOrderMark(0xFF, 0xFE), ByteOrder::Little);
  EXPECT_EQ(utf16ByteOrderMark(0xFE, 0xFF), ByteOrder::Big);
  // "яю" in Windows-1251 and the UTF-8 mark's first bytes are no UTF-16 mark.
  EXPECT_EQ(utf16ByteOrderMark(0xFF, 0xFF), std::nullopt);
  EXPECT_EQ(utf16ByteOrderMark(0xFE, 0xFE), std::nullopt);
  EXPECT_EQ(utf16ByteOrderMark(0xEF, 0xBB), std::nullopt);
}

}  // namespace
}  // namespace kelvak
