// The document model the help viewer shows: paragraphs of runs of equally formatted text.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kelvak {

struct Rgb {
  std::uint8_t red = 0;
  std::uint8_t green = 0;
  std::uint8_t blue = 0;
  friend bool operator==(const Rgb&, const Rgb&) = default;
};

struct RunStyle {
  bool bold = false;
  bool italic = false;
  bool underline = false;
  // From a fixed-pitch font (\fmodern or \fprq1 in the font table): shown in a monospaced font.
  bool fixedPitch = false;
  // Font size [half points]; 0 keeps the viewer's own font size (plain text has no sizes).
  int halfPoints = 0;
  // Nothing: the viewer's own text colour.
  std::optional<Rgb> colour;
  friend bool operator==(const RunStyle&, const RunStyle&) = default;
};

struct TextRun {
  // UTF-8. '\t' is a tab stop and '\n' a line break inside the paragraph.
  std::string text;
  RunStyle style;
};

enum class Alignment { Left, Centre, Right, Justified };

struct TextParagraph {
  std::vector<TextRun> runs;
  // Formatting of the paragraph's end mark: it sets the height of an empty paragraph.
  RunStyle mark;
  Alignment alignment = Alignment::Left;
  // Indents and spacing [twips, 1/1440 inch].
  int leftIndent = 0;
  int rightIndent = 0;
  int firstLineIndent = 0;
  int spaceBefore = 0;
  int spaceAfter = 0;
  // Tab stops, in the order the document set them [twips from the left indent's edge].
  std::vector<int> tabStops;
};

struct RichDocument {
  std::vector<TextParagraph> paragraphs;
};

// The document's text without formatting, paragraphs separated by '\n' (for searching and
// for comparing documents as text).
std::string documentText(const RichDocument& document);

}  // namespace kelvak
