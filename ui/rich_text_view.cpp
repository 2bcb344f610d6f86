// Mapping of the document model onto QTextDocument blocks and character formats.
#include "ui/rich_text_view.h"

#include <QColor>
#include <QFont>
#include <QString>
#include <QStringList>
#include <QTextBlockFormat>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextOption>

#include "ui/fonts.h"

namespace kelvak {
namespace {

// Rich text measures indents in twips; the text document in pixels at 96 per inch.
constexpr double kTwipsPerPixel = 1440.0 / 96.0;

QTextBlockFormat blockFormat(const TextParagraph& paragraph) {
  QTextBlockFormat format;
  switch (paragraph.alignment) {
    case Alignment::Left:
      format.setAlignment(Qt::AlignLeft);
      break;
    case Alignment::Centre:
      format.setAlignment(Qt::AlignHCenter);
      break;
    case Alignment::Right:
      format.setAlignment(Qt::AlignRight);
      break;
    case Alignment::Justified:
      format.setAlignment(Qt::AlignJustify);
      break;
  }
  format.setLeftMargin(paragraph.leftIndent / kTwipsPerPixel);
  format.setRightMargin(paragraph.rightIndent / kTwipsPerPixel);
  format.setTextIndent(paragraph.firstLineIndent / kTwipsPerPixel);
  format.setTopMargin(paragraph.spaceBefore / kTwipsPerPixel);
  format.setBottomMargin(paragraph.spaceAfter / kTwipsPerPixel);
  // Rich text measures tab stops from the margin, Qt from where the line starts: after the
  // indents. Stops left of that start are never reached on the first line.
  const int lineStart = paragraph.leftIndent + paragraph.firstLineIndent;
  QList<QTextOption::Tab> tabs;
  for (const int stop : paragraph.tabStops) {
    if (stop > lineStart) {
      tabs.append(QTextOption::Tab((stop - lineStart) / kTwipsPerPixel, QTextOption::LeftTab));
    }
  }
  if (!tabs.isEmpty()) format.setTabPositions(tabs);
  return format;
}

QTextCharFormat charFormat(const RunStyle& style) {
  QTextCharFormat format;
  if (style.bold) format.setFontWeight(QFont::Bold);
  format.setFontItalic(style.italic);
  format.setFontUnderline(style.underline);
  if (style.fixedPitch) {
    format.setFontFamilies(kelvak::monoFont(1).families());
    format.setFontStyleHint(QFont::Monospace);
    format.setFontFixedPitch(true);
  }
  if (style.halfPoints > 0) format.setFontPointSize(style.halfPoints / 2.0);
  if (style.colour) {
    format.setForeground(QColor(style.colour->red, style.colour->green, style.colour->blue));
  }
  return format;
}

}  // namespace

void fillTextDocument(QTextDocument& target, const RichDocument& document) {
  const bool undo = target.isUndoRedoEnabled();
  target.setUndoRedoEnabled(false);
  target.clear();
  QTextCursor cursor(&target);
  bool first = true;
  for (const TextParagraph& paragraph : document.paragraphs) {
    if (first) {
      cursor.setBlockFormat(blockFormat(paragraph));
      first = false;
    } else {
      cursor.insertBlock(blockFormat(paragraph));
    }
    // The end mark's format gives an empty paragraph its height.
    cursor.setBlockCharFormat(charFormat(paragraph.mark));
    for (const TextRun& run : paragraph.runs) {
      QString text = QString::fromUtf8(run.text.data(), static_cast<qsizetype>(run.text.size()));
      text.replace(QChar('\n'), QChar(QChar::LineSeparator));
      cursor.insertText(text, charFormat(run.style));
    }
  }
  target.setUndoRedoEnabled(undo);
}

}  // namespace kelvak
