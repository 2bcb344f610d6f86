// Filling a Qt text document from the document model.
#include "ui/rich_text_view.h"

#include <gtest/gtest.h>

#include <QFontInfo>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include "document/rich_text.h"
#include "tests/ui/qt_test_app.h"

namespace kelvak {
namespace {

QTextDocument* filled(const char* rtf) {
  testApplication();
  const RichTextResult result = readRichText(rtf);
  EXPECT_TRUE(result.ok());
  auto* doc = new QTextDocument;
  fillTextDocument(*doc, result.document);
  return doc;
}

QTextCharFormat formatAt(QTextDocument& doc, int position) {
  QTextCursor cursor(&doc);
  cursor.setPosition(position + 1);  // the format of the character before the cursor
  return cursor.charFormat();
}

TEST(RichTextView, CharacterFormats) {
  std::unique_ptr<QTextDocument> doc(
      filled(R"({\rtf1{\colortbl;\red0\green0\blue255;}a{\b b}{\i c}{\ul d}{\fs40 e}{\cf1 f}g})"));
  ASSERT_EQ(doc->toPlainText(), "abcdefg");
  EXPECT_NE(formatAt(*doc, 0).fontWeight(), QFont::Bold);
  EXPECT_EQ(formatAt(*doc, 1).fontWeight(), QFont::Bold);
  EXPECT_TRUE(formatAt(*doc, 2).fontItalic());
  EXPECT_FALSE(formatAt(*doc, 1).fontItalic());
  EXPECT_TRUE(formatAt(*doc, 3).fontUnderline());
  EXPECT_FALSE(formatAt(*doc, 6).fontUnderline());
  EXPECT_DOUBLE_EQ(formatAt(*doc, 4).fontPointSize(), 20.0);
  EXPECT_DOUBLE_EQ(formatAt(*doc, 0).fontPointSize(), 12.0);
  EXPECT_EQ(formatAt(*doc, 5).foreground().color(), QColor(0, 0, 255));
  EXPECT_FALSE(formatAt(*doc, 6).hasProperty(QTextFormat::ForegroundBrush));
}

TEST(RichTextView, ParagraphsLineBreaksAndTabs) {
  std::unique_ptr<QTextDocument> doc(filled(
      R"({\rtf1 {\pard\qc\sb300 one\line two\par}\pard\li1440\fi-720\tx360\tx1440 a\tab b\par\par})"));
  ASSERT_EQ(doc->blockCount(), 3);
  const QTextBlock first = doc->firstBlock();
  EXPECT_EQ(first.text(), QString("one") + QChar(QChar::LineSeparator) + "two");
  EXPECT_EQ(first.blockFormat().alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
  EXPECT_DOUBLE_EQ(first.blockFormat().topMargin(), 20.0);  // 300 twips at 96 pixels per inch
  const QTextBlock second = first.next();
  EXPECT_EQ(second.text(), "a\tb");
  EXPECT_DOUBLE_EQ(second.blockFormat().leftMargin(), 96.0);
  EXPECT_DOUBLE_EQ(second.blockFormat().textIndent(), -48.0);
  // Qt counts tab stops from the start of the line, here 720 twips in from the margin; the stop
  // at 360 twips lies before it.
  ASSERT_EQ(second.blockFormat().tabPositions().size(), 1);
  EXPECT_DOUBLE_EQ(second.blockFormat().tabPositions()[0].position, 48.0);
  EXPECT_TRUE(second.next().text().isEmpty());
}

TEST(RichTextView, FixedPitchFontsShowMonospaced) {
  std::unique_ptr<QTextDocument> doc(
      filled(R"({\rtf1{\fonttbl{\f0\fswiss Arial;}{\f1\fmodern Courier New;}}a{\f1 b}})"));
  EXPECT_FALSE(formatAt(*doc, 0).fontFixedPitch());
  EXPECT_TRUE(formatAt(*doc, 1).fontFixedPitch());
  EXPECT_TRUE(QFontInfo(formatAt(*doc, 1).font()).fixedPitch());
  EXPECT_FALSE(QFontInfo(formatAt(*doc, 0).font()).fixedPitch());
}

TEST(RichTextView, PlainTextKeepsTheViewersFont) {
  testApplication();
  RichDocument plain;
  plain.paragraphs.emplace_back().runs.push_back(TextRun{"x", RunStyle{}});
  QTextDocument doc;
  doc.setPlainText("old content");
  fillTextDocument(doc, plain);
  EXPECT_EQ(doc.toPlainText(), "x");
  EXPECT_FALSE(formatAt(doc, 0).hasProperty(QTextFormat::FontPointSize));
}

}  // namespace
}  // namespace kelvak
