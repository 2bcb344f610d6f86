// Reading the help document's bytes: rich text, the plain-text fallback, and files that are
// neither.
#include "document/document_reader.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace kelvak {
namespace {

using namespace std::string_literals;

struct ReadCase {
  const char* name;
  std::string bytes;
  std::optional<DocumentFormat> format;  // nothing: readable neither way
  std::string text;
};

void PrintTo(const ReadCase& c, std::ostream* os) { *os << c.name; }

class DocumentReading : public testing::TestWithParam<ReadCase> {};

TEST_P(DocumentReading, GivesTheFormatAndText) {
  const std::optional<LoadedDocument> loaded = readDocument(GetParam().bytes);
  ASSERT_EQ(loaded.has_value(), GetParam().format.has_value());
  if (!loaded) return;
  EXPECT_EQ(loaded->format, *GetParam().format);
  EXPECT_EQ(documentText(loaded->document), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Files, DocumentReading,
    testing::Values(ReadCase{"richText", R"({\rtf1\ansicpg1251 \'cf\'f0\'e8\'e2\'e5\'f2\par})",
                             DocumentFormat::RichText, "Привет"},
                    ReadCase{"utf8", "Привет, мир\nВторая строка", DocumentFormat::PlainText,
                             "Привет, мир\nВторая строка"},
                    ReadCase{"utf8WithByteOrderMark", "\xEF\xBB\xBFПривет",
                             DocumentFormat::PlainText, "Привет"},
                    ReadCase{"windows1251", "\xcf\xf0\xe8\xe2\xe5\xf2 \xb9 5",
                             DocumentFormat::PlainText, "Привет № 5"},
                    ReadCase{"mostlyAsciiWithOne1251Byte", "Kelvak \xe0", DocumentFormat::PlainText,
                             "Kelvak а"},
                    ReadCase{"lineEnds", "a\r\nb\rc\nd", DocumentFormat::PlainText, "a\nb\nc\nd"},
                    ReadCase{"emptyLinesKept", "a\n\n\nb\n", DocumentFormat::PlainText, "a\n\n\nb"},
                    ReadCase{"controlCharactersDropped",
                             "a\x01\x1b"
                             "b\tc\x0c",
                             DocumentFormat::PlainText, "ab\tc"},
                    ReadCase{"braceTextThatIsNotRichText", "{\\rtx not rich}",
                             DocumentFormat::PlainText, "{\\rtx not rich}"},
                    ReadCase{"richTextMarkupLaterInTheFile", "see {\\rtf1 x}",
                             DocumentFormat::PlainText, "see {\\rtf1 x}"},
                    ReadCase{"emptyFile", "", DocumentFormat::PlainText, ""},
                    ReadCase{"truncatedRichText", R"({\rtf1 {\b unclosed)", std::nullopt, ""},
                    ReadCase{"unbalancedRichText", R"({\rtf1 a}})", std::nullopt, ""},
                    ReadCase{"garbledEscape", R"({\rtf1 \'zz})", std::nullopt, ""},
                    ReadCase{"garbledAfterByteOrderMark", "\xEF\xBB\xBF{\\rtf1 {", std::nullopt,
                             ""},
                    ReadCase{"nulInText", "abc\0def"s, std::nullopt, ""},
                    ReadCase{"utf16", "\xFF\xFEH\0i\0"s, std::nullopt, ""},
                    ReadCase{"nulInRichText", "{\\rtf1 a\0b}"s, DocumentFormat::RichText, "ab"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(PlainText, KeepsNoFormatting) {
  const std::optional<RichDocument> doc = readPlainText("first\nsecond");
  ASSERT_TRUE(doc.has_value());
  ASSERT_EQ(doc->paragraphs.size(), 2u);
  for (const TextParagraph& p : doc->paragraphs) {
    ASSERT_EQ(p.runs.size(), 1u);
    EXPECT_EQ(p.runs[0].style, RunStyle{});  // the viewer's own font, size and colour
  }
}

}  // namespace
}  // namespace kelvak
