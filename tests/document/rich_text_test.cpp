// The rich-text reader: text, formatting and paragraphs it produces, and how it treats broken
// and hostile input.
#include "document/rich_text.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "document/rich_text_escape.h"
#include "tests/case_name.h"
#include "text/code_pages.h"

namespace kelvak {
namespace {

using namespace std::string_literals;

std::string textOf(const std::string& rtf) {
  const RichTextResult result = readRichText(rtf);
  EXPECT_TRUE(result.ok()) << "error " << static_cast<int>(result.error) << " for " << rtf;
  return documentText(result.document);
}

RichDocument documentOf(const std::string& rtf) {
  RichTextResult result = readRichText(rtf);
  EXPECT_TRUE(result.ok()) << "error " << static_cast<int>(result.error) << " for " << rtf;
  return result.document;
}

struct TextCase {
  const char* name;
  std::string rtf;
  std::string text;
};

void PrintTo(const TextCase& c, std::ostream* os) { *os << c.name; }

class RichTextText : public testing::TestWithParam<TextCase> {};

TEST_P(RichTextText, ReadsTheVisibleText) { EXPECT_EQ(textOf(GetParam().rtf), GetParam().text); }

INSTANTIATE_TEST_SUITE_P(
    Features, RichTextText,
    testing::Values(
        TextCase{"plain", R"({\rtf1 Hello, world})", "Hello, world"},
        TextCase{"par", R"({\rtf1 one\par two\par three})", "one\ntwo\nthree"},
        TextCase{"line", R"({\rtf1 one\line two})", "one\ntwo"},
        TextCase{"tab", R"({\rtf1 a\tab b})", "a\tb"},
        TextCase{"delimiterSpaceOnlyOnce", R"({\rtf1 a\tab  b})", "a\t b"},
        TextCase{"escapedSpecials", R"({\rtf1 \{x\} \\ y})", "{x} \\ y"},
        TextCase{"nonBreakingSpace", R"({\rtf1 a\~b})", "a\u00A0b"},
        TextCase{"optionalHyphen", R"({\rtf1 a\-b})", "a\u00ADb"},
        TextCase{"nonBreakingHyphen", R"({\rtf1 a\_b})", "a\u2011b"},
        TextCase{"namedCharacters",
                 R"({\rtf1 \emdash\endash\bullet\lquote\rquote\ldblquote\rdblquote})", "—–•‘’“”"},
        TextCase{"lineEndsInTheFileAreNotText", "{\\rtf1 ab\r\ncd\nef\r}", "abcdef"},
        TextCase{"escapedLineEndIsAParagraph", "{\\rtf1 ab\\\ncd}", "ab\ncd"},
        TextCase{"hexDefaultsToWindows1252", R"({\rtf1 \'e0\'80})", "à€"},
        TextCase{"hexInWindows1251", R"({\rtf1\ansi\ansicpg1251 \'cf\'f0\'e8\'e2\'e5\'f2 \'b9})",
                 "Привет №"},
        TextCase{"hexUpperCaseDigits", R"({\rtf1\ansicpg1251 \'CF\'F0})", "Пр"},
        TextCase{"rawHighBytesUseTheCodePage", "{\\rtf1\\ansicpg1251 \xcf\xf0}", "Пр"},
        TextCase{"fontCharsetSelectsItsCodePage",
                 R"({\rtf1\ansi\ansicpg1252{\fonttbl{\f0 Arial;}{\f1\fcharset204 Arial Cyr;}})"
                 R"(\f1\'e0{\f0\'e0}\'e0})",
                 "аàа"},
        TextCase{"defaultFontCharset",
                 R"({\rtf1\ansi\deff1{\fonttbl{\f0\fcharset0 A;}{\f1\fcharset204 B;}}\'e0\f0\'e0})",
                 "аà"},
        TextCase{"fontTableWithoutInnerGroups",
                 R"({\rtf1{\fonttbl\f0\fcharset204 Arial;\f1\fcharset0 Times;}\f0\'e0\f1\'e0})",
                 "аà"},
        TextCase{
            "plainReturnsToTheDefaultFont",
            R"({\rtf1\deff0{\fonttbl{\f0\fcharset204 A;}{\f1\fcharset0 B;}}\f1\'e0\plain\'e0})",
            "àа"},
        TextCase{"unicodeSkipsOneFallback", R"({\rtf1 \u1071?\u1103?})", "Яя"},
        TextCase{"unicodeFallbackAsHexEscape", R"({\rtf1\ansicpg1251 \u1071\'df!})", "Я!"},
        TextCase{"unicodeFallbackLengthFromUc", R"({\rtf1\uc2 \u1071xy z})", "Я z"},
        TextCase{"unicodeWithoutFallback", R"({\rtf1\uc0 \u1071 x})", "Яx"},
        TextCase{"ucIsRestoredAfterTheGroup", R"({\rtf1{\uc0 \u1071}\u1071?!})", "ЯЯ!"},
        TextCase{"fallbackEndsAtAGroup", R"({\rtf1\uc3 \u1071{x}y})", "Яxy"},
        TextCase{"fallbackCountsControlWordsAsOne", R"({\rtf1\uc2 \u1071\b\'dfx})", "Яx"},
        TextCase{"negativeUnicode", R"({\rtf1 \u-1280?})", "\uFB00"},
        TextCase{"unicodeControlCharacters", R"({\rtf1 a\u0?\u7?b})", "ab"},
        TextCase{"surrogatePair", R"({\rtf1 \u-10179?\u-8704?})", "😀"},
        TextCase{"loneHighSurrogate", R"({\rtf1 \u-10179?x})", "\uFFFDx"},
        TextCase{"loneLowSurrogate", R"({\rtf1 \u-8704?x})", "\uFFFDx"},
        TextCase{"highSurrogateBeforeAGroup", R"({\rtf1 \u-10179?{x}})", "\uFFFDx"},
        TextCase{"unicodeBelowSixteenBits", R"({\rtf1 \u-40000?x})", "\uFFFDx"},
        TextCase{"unicodeHuge", R"({\rtf1 \u99999999999999999999?x})", "\uFFFDx"},
        TextCase{"unknownStarredDestination", R"({\rtf1 a{\*\unknown hidden {text}}b})", "ab"},
        TextCase{"fontAndColourTables",
                 R"({\rtf1{\fonttbl{\f0 Arial;}}{\colortbl;\red1\green2\blue3;}shown})", "shown"},
        TextCase{"metadataAndPictures",
                 R"({\rtf1{\stylesheet{\s1 Heading;}}{\info{\title T}{\author A}})"
                 R"({\pict\pngblip 89504e47}{\header H}{\footer F}body})",
                 "body"},
        TextCase{"fieldShowsItsResult",
                 R"({\rtf1 see {\field{\*\fldinst HYPERLINK "x"}{\fldrslt the site}}.})",
                 "see the site."},
        TextCase{"hiddenText", R"({\rtf1 a{\v hidden}b\v c\v0 d})", "abd"},
        TextCase{"binaryDataMayHoldBraces", "{\\rtf1 a{\\pict\\bin5 {}\\}{}b}", "ab"},
        TextCase{"unknownControlWords", R"({\rtf1 \foo12 a\bar-3 b\baz c})", "abc"},
        TextCase{"minusWithoutDigitsIsText", R"({\rtf1 \b- x})", "- x"},
        TextCase{"controlBytesAreDropped",
                 "{\\rtf1 a\x01\x1f"
                 "b\tc}",
                 "ab\tc"},
        TextCase{"byteOrderMarkBeforeTheHeader", "\xEF\xBB\xBF{\\rtf1 ok}", "ok"},
        TextCase{"blankSpaceAfterTheEnd", "{\\rtf1 ok}\r\n \t\0\0"s, "ok"},
        TextCase{"longestControlWord", R"({\rtf1 \abcdefghijklmnopqrstuvwxyzabcdef x})", "x"},
        TextCase{"empty", R"({\rtf1})", ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(RichTextParagraphs, ParTerminatesAndTrailingTextFormsTheLast) {
  EXPECT_EQ(documentOf(R"({\rtf1 a\par})").paragraphs.size(), 1u);
  EXPECT_EQ(documentOf(R"({\rtf1 a\par\par})").paragraphs.size(), 2u);
  EXPECT_EQ(documentOf(R"({\rtf1 a\par b})").paragraphs.size(), 2u);
  EXPECT_EQ(documentOf(R"({\rtf1 a\line b})").paragraphs.size(), 1u);
  EXPECT_EQ(documentOf(R"({\rtf1 {\header a\par b\par}x})").paragraphs.size(), 1u);
}

struct StyledRun {
  std::string text;
  bool bold;
  bool italic;
  bool underline;
};

std::vector<StyledRun> runsOf(const std::string& rtf) {
  std::vector<StyledRun> runs;
  for (const TextParagraph& p : documentOf(rtf).paragraphs) {
    for (const TextRun& r : p.runs) {
      runs.push_back({r.text, r.style.bold, r.style.italic, r.style.underline});
    }
  }
  return runs;
}

MATCHER_P4(IsRun, text, bold, italic, underline, "") {
  return arg.text == text && arg.bold == bold && arg.italic == italic && arg.underline == underline;
}

TEST(RichTextStyle, SwitchesTurnOnAndZeroTurnsOff) {
  EXPECT_THAT(runsOf(R"({\rtf1 a\b b\b0 c\i d\i0 e\ul f\ul0 g\ul h\ulnone i\uldb j\ul0 k})"),
              testing::ElementsAre(IsRun("a", false, false, false), IsRun("b", true, false, false),
                                   IsRun("c", false, false, false), IsRun("d", false, true, false),
                                   IsRun("e", false, false, false), IsRun("f", false, false, true),
                                   IsRun("g", false, false, false), IsRun("h", false, false, true),
                                   IsRun("i", false, false, false), IsRun("j", false, false, true),
                                   IsRun("k", false, false, false)));
}

TEST(RichTextStyle, GroupsRestoreAndPlainResets) {
  EXPECT_THAT(runsOf(R"({\rtf1 a{\b\i b{\ul c}d}e\b\i\ul f\plain g})"),
              testing::ElementsAre(IsRun("a", false, false, false), IsRun("b", true, true, false),
                                   IsRun("c", true, true, true), IsRun("d", true, true, false),
                                   IsRun("e", false, false, false), IsRun("f", true, true, true),
                                   IsRun("g", false, false, false)));
}

TEST(RichTextStyle, EquallyFormattedTextStaysOneRun) {
  const RichDocument doc = documentOf(R"({\rtf1 a{}b{\b0 c}\i0 d})");
  ASSERT_EQ(doc.paragraphs.size(), 1u);
  ASSERT_EQ(doc.paragraphs[0].runs.size(), 1u);
  EXPECT_EQ(doc.paragraphs[0].runs[0].text, "abcd");
}

TEST(RichTextStyle, FixedPitchComesFromTheFontTable) {
  const RichDocument doc = documentOf(
      R"({\rtf1\deff0{\fonttbl{\f0\fswiss Arial;}{\f1\fmodern Courier;}{\f2\fnil\fprq1 Mono;})"
      R"({\f3\fnil\fprq2 Serif;}}a\f1 b\f2 c\f3 d{\f1 e}f\f1\plain g})");
  std::string fixed;
  for (const TextRun& r : doc.paragraphs.at(0).runs) {
    if (r.style.fixedPitch) fixed += r.text;
  }
  EXPECT_EQ(fixed, "bce");
}

struct SizeCase {
  const char* rtf;
  int halfPoints;
};

class RichTextFontSize : public testing::TestWithParam<SizeCase> {};

TEST_P(RichTextFontSize, IsKeptWithinSaneBounds) {
  const RichDocument doc = documentOf(GetParam().rtf);
  ASSERT_EQ(doc.paragraphs.size(), 1u);
  ASSERT_EQ(doc.paragraphs[0].runs.size(), 1u);
  EXPECT_EQ(doc.paragraphs[0].runs[0].style.halfPoints, GetParam().halfPoints);
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, RichTextFontSize,
    testing::Values(SizeCase{R"({\rtf1 x})", 24}, SizeCase{R"({\rtf1\fs20 x})", 20},
                    SizeCase{R"({\rtf1\fs3276 x})", 3276}, SizeCase{R"({\rtf1\fs3277 x})", 3276},
                    SizeCase{R"({\rtf1\fs99999999999999999999 x})", 3276},
                    SizeCase{R"({\rtf1\fs0 x})", 24}, SizeCase{R"({\rtf1\fs-8 x})", 24},
                    SizeCase{R"({\rtf1\fs40\plain x})", 24}),
    [](const auto& info) { return testing_names::caseName(info.param.rtf); });

TEST(RichTextColour, ComesFromTheColourTable) {
  const RichDocument doc = documentOf(
      R"({\rtf1{\colortbl;\red255\green0\blue0;\red0\green0\blue255;\red300\green-5\blue7;})"
      R"(a\cf1 b\cf2 c\cf9 d\cf0 e\cf3 f\cf-1 g})");
  ASSERT_EQ(doc.paragraphs.size(), 1u);
  std::vector<std::pair<std::string, std::optional<Rgb>>> runs;
  for (const TextRun& r : doc.paragraphs[0].runs) runs.emplace_back(r.text, r.style.colour);
  const std::vector<std::pair<std::string, std::optional<Rgb>>> expected = {
      {"a", std::nullopt},  {"b", Rgb{255, 0, 0}}, {"c", Rgb{0, 0, 255}},
      {"de", std::nullopt}, {"f", Rgb{255, 0, 7}}, {"g", std::nullopt}};
  EXPECT_EQ(runs, expected);
}

TEST(RichTextColour, ExplicitFirstEntryIsAColourToo) {
  const RichDocument doc = documentOf(R"({\rtf1{\colortbl\red0\green128\blue0;}\cf0 x})");
  EXPECT_EQ(doc.paragraphs.at(0).runs.at(0).style.colour, (Rgb{0, 128, 0}));
}

TEST(RichTextParagraphFormat, IsTakenAtTheParagraphsEndAndResetByPard) {
  const RichDocument doc = documentOf(
      R"({\rtf1 {\pard\qc\sb120\sa60 centred\par}{\pard\li720\ri360\fi-360\tx720\tx1440 list\par})"
      R"(\qr right\par\pard left\par\qj\li99999999 just})");
  ASSERT_EQ(doc.paragraphs.size(), 5u);
  EXPECT_EQ(doc.paragraphs[0].alignment, Alignment::Centre);
  EXPECT_EQ(doc.paragraphs[0].spaceBefore, 120);
  EXPECT_EQ(doc.paragraphs[0].spaceAfter, 60);
  EXPECT_EQ(doc.paragraphs[1].alignment, Alignment::Left);
  EXPECT_EQ(doc.paragraphs[1].leftIndent, 720);
  EXPECT_EQ(doc.paragraphs[1].rightIndent, 360);
  EXPECT_EQ(doc.paragraphs[1].firstLineIndent, -360);
  EXPECT_EQ(doc.paragraphs[1].tabStops, (std::vector<int>{720, 1440}));
  EXPECT_EQ(doc.paragraphs[2].alignment, Alignment::Right);
  EXPECT_EQ(doc.paragraphs[2].leftIndent, 0);
  EXPECT_TRUE(doc.paragraphs[2].tabStops.empty());
  EXPECT_EQ(doc.paragraphs[3].alignment, Alignment::Left);
  EXPECT_EQ(doc.paragraphs[4].alignment, Alignment::Justified);
  EXPECT_EQ(doc.paragraphs[4].leftIndent, 31680);
}

TEST(RichTextParagraphFormat, EndMarkKeepsTheFormattingAtThePar) {
  const RichDocument doc = documentOf(R"({\rtf1{\b\fs40 Title\par}\par})");
  ASSERT_EQ(doc.paragraphs.size(), 2u);
  EXPECT_EQ(doc.paragraphs[0].mark.halfPoints, 40);
  EXPECT_TRUE(doc.paragraphs[0].mark.bold);
  EXPECT_TRUE(doc.paragraphs[1].runs.empty());
  EXPECT_EQ(doc.paragraphs[1].mark.halfPoints, 24);
  EXPECT_FALSE(doc.paragraphs[1].mark.bold);
}

TEST(RichTextLimits, TabStopsAreBounded) {
  std::string rtf = R"({\rtf1\pard)";
  for (int i = 0; i < 100000; ++i) rtf += "\\tx" + std::to_string(i);
  rtf += " x\\par}";
  const RichDocument doc = documentOf(rtf);
  ASSERT_EQ(doc.paragraphs.size(), 1u);
  EXPECT_EQ(doc.paragraphs[0].tabStops.size(), 64u);
}

struct BrokenCase {
  const char* name;
  std::string rtf;
  RichTextError error;
};

void PrintTo(const BrokenCase& c, std::ostream* os) { *os << c.name; }

class RichTextBroken : public testing::TestWithParam<BrokenCase> {};

TEST_P(RichTextBroken, IsRefusedWithTheReason) {
  EXPECT_EQ(readRichText(GetParam().rtf).error, GetParam().error);
}

INSTANTIATE_TEST_SUITE_P(
    Malformed, RichTextBroken,
    testing::Values(
        BrokenCase{"empty", "", RichTextError::NotRichText},
        BrokenCase{"plainText", "Hello", RichTextError::NotRichText},
        BrokenCase{"leadingSpace", R"( {\rtf1 x})", RichTextError::NotRichText},
        BrokenCase{"otherBraceGroup", R"({\rt x})", RichTextError::NotRichText},
        BrokenCase{"headerOnly", R"({\rtf)", RichTextError::Truncated},
        BrokenCase{"cutInText", R"({\rtf1 abc)", RichTextError::Truncated},
        BrokenCase{"cutInGroup", R"({\rtf1 a{\b b})", RichTextError::Truncated},
        BrokenCase{"cutAfterBackslash", "{\\rtf1 a\\", RichTextError::Truncated},
        BrokenCase{"cutInControlWord", R"({\rtf1 a\pa)", RichTextError::Truncated},
        BrokenCase{"cutInHex", R"({\rtf1 \'4)", RichTextError::Truncated},
        BrokenCase{"cutAfterQuote", R"({\rtf1 \')", RichTextError::Truncated},
        BrokenCase{"binBeyondTheEnd", R"({\rtf1 \bin10 abc})", RichTextError::Truncated},
        BrokenCase{"binHuge", R"({\rtf1 \bin99999999999999999999 abc})", RichTextError::Truncated},
        BrokenCase{"extraCloseBrace", R"({\rtf1 a}})", RichTextError::Unbalanced},
        BrokenCase{"textAfterTheEnd", R"({\rtf1 a} b)", RichTextError::Unbalanced},
        BrokenCase{"secondDocument", R"({\rtf1 a}{\rtf1 b})", RichTextError::Unbalanced},
        BrokenCase{"badHexDigit", R"({\rtf1 \'4g})", RichTextError::BadEscape},
        BrokenCase{"badHexBoth", R"({\rtf1 \'zz})", RichTextError::BadEscape},
        BrokenCase{"badHexBrace", R"({\rtf1 \'}})", RichTextError::BadEscape},
        BrokenCase{"badHexInSkippedGroup", R"({\rtf1 {\*\x \'q1}})", RichTextError::BadEscape},
        BrokenCase{"controlWordTooLong", R"({\rtf1 \abcdefghijklmnopqrstuvwxyzabcdefg x})",
                   RichTextError::ControlWordTooLong},
        BrokenCase{"nestingTooDeep",
                   "{\\rtf1 " + std::string(kMaxRichTextDepth, '{') +
                       std::string(kMaxRichTextDepth + 1, '}'),
                   RichTextError::TooDeep},
        BrokenCase{"nestingMillionsDeep", "{\\rtf1 " + std::string(5'000'000, '{'),
                   RichTextError::TooDeep}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(RichTextLimits, NestingUpToTheBoundIsRead) {
  const std::string rtf = "{\\rtf1 " + std::string(kMaxRichTextDepth - 1, '{') + "deep" +
                          std::string(kMaxRichTextDepth, '}');
  EXPECT_EQ(textOf(rtf), "deep");
}

TEST(RichTextLimits, HugeUnicodeSkipIsBoundedByTheGroup) {
  EXPECT_EQ(textOf(R"({\rtf1{\uc99999999999 \u1071 skipped text}shown})"), "Яshown");
  EXPECT_EQ(textOf(R"({\rtf1\uc-5 \u1071 x})"), "Яx");
}

// Every prefix of a document is refused as cut short (never read as if complete), and every
// single-byte corruption ends in a result rather than a crash or a hang.
TEST(RichTextRobustness, PrefixesAreTruncatedAndCorruptionsTerminate) {
  const std::string rtf =
      R"({\rtf1\ansi\ansicpg1251{\fonttbl{\f0\fcharset204 Arial;}}{\colortbl;\red200\green0\blue0;})"
      R"({\*\generator x;}{\info{\title t}}\pard\plain\fs20{\pard\qc\b\fs28\cf1 \'c7\'e0\'e3\par})"
      R"({\pard\li240\fi-180\tx240 \bullet\tab \u1071?\uc2\u-10179\'3f?\u-8704??\{\}\\\par})"
      R"({\pict\bin3 {}}x}\line\tab\~\-\_ end})";
  ASSERT_TRUE(readRichText(rtf).ok());
  for (std::size_t cut = 0; cut + 1 < rtf.size(); ++cut) {
    const RichTextError error = readRichText(rtf.substr(0, cut)).error;
    EXPECT_TRUE(error == RichTextError::Truncated || error == RichTextError::NotRichText)
        << "prefix of " << cut << " bytes gave " << static_cast<int>(error);
  }
  for (std::size_t pos = 0; pos < rtf.size(); ++pos) {
    for (const char replacement : {'{', '}', '\\', '\'', '\0', '9', '-', 'u'}) {
      std::string broken = rtf;
      broken[pos] = replacement;
      const RichTextResult result = readRichText(broken);
      if (result.ok()) {
        EXPECT_EQ(documentText(result.document).find('\0'), std::string::npos);
      }
    }
  }
}

TEST(RichTextEscape, ReaderGetsBackWhatTheEscaperWrote) {
  const std::string samples[] = {"Синтезатор сигналов азбуки Морзе", "№ 5 — «тест» ×2 Ёё",
                                 "façade déjà vu", "日本語 😀 𝄞", "plain ASCII"};
  for (const int codePage : {kCodePageCyrillic, kCodePageWestern}) {
    for (const std::string& sample : samples) {
      const std::string rtf = "{\\rtf1\\ansi\\ansicpg" + std::to_string(codePage) + " " +
                              escapeRichText(sample, codePage) + "}";
      for (const char c : rtf) EXPECT_LT(static_cast<unsigned char>(c), 0x80) << rtf;
      EXPECT_EQ(textOf(rtf), sample) << "code page " << codePage;
    }
  }
}

TEST(RichTextEscape, UsesTheCodePageWhereItCanAndUnicodeElsewhere) {
  EXPECT_EQ(escapeRichText("Я×", kCodePageCyrillic), "\\'df\\u215?");
  EXPECT_EQ(escapeRichText("\\b x", kCodePageCyrillic), "\\b x");
  EXPECT_EQ(escapeRichText("😀", kCodePageCyrillic), "\\u-10179?\\u-8704?");
}

TEST(RichTextLimits, LargeInputIsReadCompletely) {
  std::string rtf = "{\\rtf1 ";
  for (int i = 0; i < 20000; ++i) rtf += "{\\b x}\\'e0\\u1071?\\par ";
  rtf += "}";
  const RichTextResult result = readRichText(rtf);
  ASSERT_TRUE(result.ok());
  ASSERT_EQ(result.document.paragraphs.size(), 20000u);
  EXPECT_EQ(documentText(result.document).substr(0, 7), "xàЯ\nx");
}

}  // namespace
}  // namespace kelvak
