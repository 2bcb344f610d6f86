// Reader of rich text: one pass over the bytes with an explicit group stack, so nesting costs
// memory bounded by kMaxRichTextDepth and never recursion.
#include "document/rich_text.h"

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "text/code_pages.h"
#include "text/hex.h"
#include "text/utf8.h"

namespace kelvak {

std::string documentText(const RichDocument& document) {
  std::string text;
  for (std::size_t p = 0; p < document.paragraphs.size(); ++p) {
    if (p > 0) text.push_back('\n');
    for (const TextRun& run : document.paragraphs[p].runs) text += run.text;
  }
  return text;
}

namespace {

enum class Destination { Text, Skip, FontTable, ColourTable };

struct ParagraphFormat {
  Alignment alignment = Alignment::Left;
  int leftIndent = 0;
  int rightIndent = 0;
  int firstLineIndent = 0;
  int spaceBefore = 0;
  int spaceAfter = 0;
  std::vector<int> tabStops;
};

// Everything a "{" saves and the matching "}" restores.
struct GroupState {
  bool bold = false;
  bool italic = false;
  bool underline = false;
  bool hidden = false;
  int halfPoints = 24;  // rich text's own default size, 12 pt [half points]
  int colourIndex = 0;
  int font = -1;        // -1: the document's default font (\deff)
  int unicodeSkip = 1;  // characters of fallback text after each \u
  ParagraphFormat paragraph;
  Destination destination = Destination::Text;
};

constexpr int kMaxHalfPoints = 3276;      // 1638 pt, the largest size word processors offer
constexpr int kMaxTwips = 31680;          // 22 inches, the widest page word processors allow
constexpr std::size_t kMaxTabStops = 64;  // more than a line can hold; bounds hostile input
constexpr char32_t kReplacement = 0xFFFD;

// Destinations whose content is not part of the visible text.
constexpr std::string_view kSkippedDestinations[] = {"stylesheet",
                                                     "info",
                                                     "pict",
                                                     "header",
                                                     "headerl",
                                                     "headerr",
                                                     "headerf",
                                                     "footer",
                                                     "footerl",
                                                     "footerr",
                                                     "footerf",
                                                     "footnote",
                                                     "fldinst",
                                                     "object",
                                                     "objdata",
                                                     "listtable",
                                                     "listoverridetable",
                                                     "revtbl",
                                                     "rsidtbl",
                                                     "xmlnstbl",
                                                     "themedata",
                                                     "colorschememapping",
                                                     "latentstyles",
                                                     "datastore",
                                                     "generator",
                                                     "filetbl",
                                                     "pgdsctbl",
                                                     "template",
                                                     "author",
                                                     "operator",
                                                     "title",
                                                     "subject",
                                                     "keywords",
                                                     "comment",
                                                     "doccomm",
                                                     "company",
                                                     "nonshppict",
                                                     "shpinst",
                                                     "bkmkstart",
                                                     "bkmkend",
                                                     "pn",
                                                     "annotation",
                                                     "atnid",
                                                     "atnauthor",
                                                     "xe",
                                                     "tc"};

// Every underline style draws a line; the viewer shows them all as the plain one.
constexpr std::string_view kUnderlineWords[] = {
    "ul",       "uld",       "uldb",       "ulw",       "uldash", "uldashd",
    "uldashdd", "ulwave",    "ululdbwave", "ulhwave",   "ulth",   "ulthd",
    "ulthdash", "ulthdashd", "ulthdashdd", "ulthldash", "ulldash"};

struct NamedChar {
  std::string_view word;
  char32_t ch;
};
constexpr NamedChar kNamedChars[] = {
    {"line", U'\n'},       {"tab", U'\t'},        {"cell", U'\t'},     {"emdash", 0x2014},
    {"endash", 0x2013},    {"bullet", 0x2022},    {"lquote", 0x2018},  {"rquote", 0x2019},
    {"ldblquote", 0x201C}, {"rdblquote", 0x201D}, {"emspace", 0x2003}, {"enspace", 0x2002}};

template <std::size_t N>
bool contains(const std::string_view (&words)[N], std::string_view word) {
  return std::find(std::begin(words), std::end(words), word) != std::end(words);
}

bool isLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

class Reader {
 public:
  explicit Reader(std::string_view bytes) : in_(bytes) {}

  RichTextResult run() {
    RichTextResult result;
    static constexpr std::string_view kBom = "\xEF\xBB\xBF";
    if (in_.substr(0, kBom.size()) == kBom) pos_ = kBom.size();
    if (in_.substr(pos_, 5) != "{\\rtf") {
      result.error = RichTextError::NotRichText;
      return result;
    }
    result.error = readAll();
    if (result.ok()) result.document = std::move(document_);
    return result;
  }

 private:
  RichTextError readAll() {
    while (pos_ < in_.size()) {
      const char c = in_[pos_];
      if (c == '{') {
        ++pos_;
        if (stack_.size() >= static_cast<std::size_t>(kMaxRichTextDepth)) {
          return RichTextError::TooDeep;
        }
        groupBoundary();
        stack_.push_back(state_);
      } else if (c == '}') {
        ++pos_;
        if (stack_.empty()) return RichTextError::Unbalanced;
        groupBoundary();
        if (stack_.size() == 1) return finishDocument();
        state_ = stack_.back();
        stack_.pop_back();
      } else if (c == '\\') {
        ++pos_;
        if (const RichTextError e = readControl(); e != RichTextError::None) return e;
      } else {
        ++pos_;
        // Line ends in rich text only keep lines short; they are not part of the text.
        if (c != '\r' && c != '\n' && !skipFallback()) textByte(static_cast<std::uint8_t>(c));
      }
    }
    return RichTextError::Truncated;
  }

  // The outermost group has closed; only blank space may follow it.
  RichTextError finishDocument() {
    for (; pos_ < in_.size(); ++pos_) {
      const char c = in_[pos_];
      if (c != ' ' && c != '\r' && c != '\n' && c != '\t' && c != '\0') {
        return RichTextError::Unbalanced;
      }
    }
    flushHighSurrogate();
    if (!paragraph_.runs.empty()) endParagraph();
    return RichTextError::None;
  }

  RichTextError readControl() {
    if (pos_ >= in_.size()) return RichTextError::Truncated;
    const char c = in_[pos_];
    if (isLetter(c)) return readControlWord();
    ++pos_;
    if (c == '\'') {
      if (in_.size() - pos_ < 2) return RichTextError::Truncated;
      const int high = hexDigitValue(in_[pos_]);
      const int low = hexDigitValue(in_[pos_ + 1]);
      if (high < 0 || low < 0) return RichTextError::BadEscape;
      pos_ += 2;
      if (!skipFallback()) textByte(static_cast<std::uint8_t>(high * 16 + low));
      return RichTextError::None;
    }
    if (skipFallback()) return RichTextError::None;
    switch (c) {
      case '\\':
      case '{':
      case '}':
        emit(static_cast<unsigned char>(c));
        break;
      case '~':
        emit(0x00A0);  // non-breaking space
        break;
      case '-':
        emit(0x00AD);  // optional hyphen
        break;
      case '_':
        emit(0x2011);  // non-breaking hyphen
        break;
      case '*':
        // An ignorable destination: the reader knows none worth showing.
        state_.destination = Destination::Skip;
        break;
      case '\r':
      case '\n':
        if (state_.destination == Destination::Text) endParagraph();
        break;
      default:
        break;  // control symbols without a visible effect here
    }
    return RichTextError::None;
  }

  RichTextError readControlWord() {
    const std::size_t start = pos_;
    while (pos_ < in_.size() && isLetter(in_[pos_])) {
      if (pos_ - start >= static_cast<std::size_t>(kMaxControlWordLetters)) {
        return RichTextError::ControlWordTooLong;
      }
      ++pos_;
    }
    const std::string_view word = in_.substr(start, pos_ - start);
    bool negative = false;
    if (pos_ + 1 < in_.size() && in_[pos_] == '-' && isDigit(in_[pos_ + 1])) {
      negative = true;
      ++pos_;
    }
    const bool hasParameter = pos_ < in_.size() && isDigit(in_[pos_]);
    std::int64_t value = 0;
    while (pos_ < in_.size() && isDigit(in_[pos_])) {
      // Saturate: a parameter beyond 32 bits is as meaningless as the largest one.
      value = std::min<std::int64_t>(value * 10 + (in_[pos_] - '0'), std::int64_t{1} << 31);
      ++pos_;
    }
    if (negative) value = -value;
    const int parameter = static_cast<int>(std::clamp<std::int64_t>(value, INT32_MIN, INT32_MAX));
    if (pos_ < in_.size() && in_[pos_] == ' ') ++pos_;  // the delimiter belongs to the word

    if (word == "bin") {
      // Binary data is not rich text at all: step over it whatever the destination.
      const std::size_t length = parameter > 0 ? static_cast<std::size_t>(parameter) : 0;
      if (in_.size() - pos_ < length) return RichTextError::Truncated;
      pos_ += length;
      skipFallback();
      return RichTextError::None;
    }
    if (skipFallback()) return RichTextError::None;
    controlWord(word, hasParameter, parameter);
    return RichTextError::None;
  }

  void controlWord(std::string_view word, bool hasParameter, int parameter) {
    switch (state_.destination) {
      case Destination::Skip:
        return;
      case Destination::FontTable:
        fontTableWord(word, parameter);
        return;
      case Destination::ColourTable:
        colourTableWord(word, parameter);
        return;
      case Destination::Text:
        break;
    }
    // A switch without parameter, or with a non-zero one, turns its property on.
    const bool on = !hasParameter || parameter != 0;
    if (word == "fonttbl") {
      state_.destination = Destination::FontTable;
    } else if (word == "colortbl") {
      state_.destination = Destination::ColourTable;
      colours_.clear();
    } else if (contains(kSkippedDestinations, word)) {
      state_.destination = Destination::Skip;
    } else if (word == "par" || word == "sect" || word == "page" || word == "row") {
      endParagraph();
    } else if (word == "u") {
      unicodeChar(parameter);
      skipRemaining_ = state_.unicodeSkip;
    } else if (word == "uc") {
      state_.unicodeSkip = std::max(parameter, 0);
    } else if (word == "b") {
      state_.bold = on;
    } else if (word == "i") {
      state_.italic = on;
    } else if (contains(kUnderlineWords, word)) {
      state_.underline = on;
    } else if (word == "ulnone") {
      state_.underline = false;
    } else if (word == "v") {
      state_.hidden = on;
    } else if (word == "fs") {
      state_.halfPoints = parameter > 0 ? std::min(parameter, kMaxHalfPoints) : 24;
    } else if (word == "cf") {
      state_.colourIndex = parameter;
    } else if (word == "f") {
      state_.font = parameter;
    } else if (word == "plain") {
      state_.bold = state_.italic = state_.underline = state_.hidden = false;
      state_.halfPoints = 24;
      state_.colourIndex = 0;
      state_.font = -1;
    } else if (word == "pard") {
      state_.paragraph = ParagraphFormat{};
    } else if (word == "ql") {
      state_.paragraph.alignment = Alignment::Left;
    } else if (word == "qc") {
      state_.paragraph.alignment = Alignment::Centre;
    } else if (word == "qr") {
      state_.paragraph.alignment = Alignment::Right;
    } else if (word == "qj") {
      state_.paragraph.alignment = Alignment::Justified;
    } else if (word == "li") {
      state_.paragraph.leftIndent = twips(parameter);
    } else if (word == "ri") {
      state_.paragraph.rightIndent = twips(parameter);
    } else if (word == "fi") {
      state_.paragraph.firstLineIndent = twips(parameter);
    } else if (word == "sb") {
      state_.paragraph.spaceBefore = twips(parameter);
    } else if (word == "sa") {
      state_.paragraph.spaceAfter = twips(parameter);
    } else if (word == "tx") {
      if (state_.paragraph.tabStops.size() < kMaxTabStops) {
        state_.paragraph.tabStops.push_back(twips(parameter));
      }
    } else if (word == "ansicpg") {
      codePage_ = parameter;
    } else if (word == "ansi") {
      codePage_ = kCodePageWestern;
    } else if (word == "deff") {
      defaultFont_ = parameter;
    } else {
      for (const NamedChar& named : kNamedChars) {
        if (word == named.word) emit(named.ch);
      }
      // Anything else is a control word this viewer has no use for.
    }
  }

  void fontTableWord(std::string_view word, int parameter) {
    if (word == "f") {
      fontEntry_ = parameter;
    } else if (word == "fcharset") {
      if (const std::optional<int> codePage = codePageOfCharset(parameter)) {
        fontCodePages_[fontEntry_] = *codePage;
      }
    } else if (word == "cpg") {
      fontCodePages_[fontEntry_] = parameter;
    } else if (word == "fmodern" || (word == "fprq" && parameter == 1)) {
      fixedPitchFonts_.insert(fontEntry_);
    } else if (word == "panose" || word == "falt" || word == "fname") {
      state_.destination = Destination::Skip;
    }
  }

  void colourTableWord(std::string_view word, int parameter) {
    const auto component = static_cast<std::uint8_t>(std::clamp(parameter, 0, 255));
    if (word == "red") {
      pendingColour_.red = component;
    } else if (word == "green") {
      pendingColour_.green = component;
    } else if (word == "blue") {
      pendingColour_.blue = component;
    } else {
      return;  // theme colours and tints: the plain components suffice
    }
    pendingColourSet_ = true;
  }

  static int twips(int parameter) { return std::clamp(parameter, -kMaxTwips, kMaxTwips); }

  // After \u the next \uc characters are the same character for readers without Unicode; they
  // are dropped. A group boundary ends the fallback early.
  bool skipFallback() {
    if (skipRemaining_ <= 0) return false;
    --skipRemaining_;
    return true;
  }

  void groupBoundary() {
    skipRemaining_ = 0;
    flushHighSurrogate();
  }

  int currentFont() const { return state_.font >= 0 ? state_.font : defaultFont_; }

  int currentCodePage() const {
    const auto it = fontCodePages_.find(currentFont());
    return it != fontCodePages_.end() ? it->second : codePage_;
  }

  void textByte(std::uint8_t byte) {
    if (state_.destination == Destination::ColourTable) {
      if (byte == ';') {
        colours_.push_back(pendingColourSet_ ? std::optional<Rgb>(pendingColour_) : std::nullopt);
        pendingColour_ = Rgb{};
        pendingColourSet_ = false;
      }
      return;
    }
    if (byte < 0x20 && byte != '\t') return;  // control bytes have no visible form
    emit(decodeCodePageByte(currentCodePage(), byte));
  }

  // \u takes a signed 16-bit value; negative values stand for the upper half of the 16-bit range.
  void unicodeChar(int value) {
    if (state_.destination != Destination::Text) return;
    char32_t ch = value < 0 ? static_cast<char32_t>(value + 65536) : static_cast<char32_t>(value);
    if (value < -32768 || ch > 0x10FFFF) ch = kReplacement;
    if (ch < 0x20 && ch != '\t') return;  // control characters have no visible form
    if (ch >= 0xD800 && ch <= 0xDBFF) {
      flushHighSurrogate();
      highSurrogate_ = ch;
      return;
    }
    if (ch >= 0xDC00 && ch <= 0xDFFF) {
      if (highSurrogate_ == 0) {
        append(kReplacement);
      } else {
        append(0x10000 + ((highSurrogate_ - 0xD800) << 10) + (ch - 0xDC00));
        highSurrogate_ = 0;
      }
      return;
    }
    emit(ch);
  }

  void flushHighSurrogate() {
    if (highSurrogate_ != 0) {
      highSurrogate_ = 0;
      append(kReplacement);
    }
  }

  void emit(char32_t ch) {
    if (state_.destination != Destination::Text) return;
    flushHighSurrogate();
    append(ch);
  }

  RunStyle currentStyle() const {
    RunStyle style;
    style.bold = state_.bold;
    style.italic = state_.italic;
    style.underline = state_.underline;
    style.fixedPitch = fixedPitchFonts_.count(currentFont()) > 0;
    style.halfPoints = state_.halfPoints;
    if (state_.colourIndex >= 0 && static_cast<std::size_t>(state_.colourIndex) < colours_.size()) {
      style.colour = colours_[static_cast<std::size_t>(state_.colourIndex)];
    }
    return style;
  }

  void append(char32_t ch) {
    if (state_.hidden) return;
    const RunStyle style = currentStyle();
    if (paragraph_.runs.empty() || !(paragraph_.runs.back().style == style)) {
      paragraph_.runs.push_back(TextRun{{}, style});
    }
    appendUtf8(paragraph_.runs.back().text, ch);
  }

  void endParagraph() {
    flushHighSurrogate();
    const ParagraphFormat& format = state_.paragraph;
    paragraph_.mark = currentStyle();
    paragraph_.alignment = format.alignment;
    paragraph_.leftIndent = format.leftIndent;
    paragraph_.rightIndent = format.rightIndent;
    paragraph_.firstLineIndent = format.firstLineIndent;
    paragraph_.spaceBefore = format.spaceBefore;
    paragraph_.spaceAfter = format.spaceAfter;
    paragraph_.tabStops = format.tabStops;
    document_.paragraphs.push_back(std::move(paragraph_));
    paragraph_ = TextParagraph{};
  }

  std::string_view in_;
  std::size_t pos_ = 0;
  std::vector<GroupState> stack_;
  GroupState state_;
  int codePage_ = kCodePageWestern;
  int defaultFont_ = 0;
  int fontEntry_ = -1;
  std::map<int, int> fontCodePages_;
  std::set<int> fixedPitchFonts_;
  std::vector<std::optional<Rgb>> colours_;
  Rgb pendingColour_;
  bool pendingColourSet_ = false;
  int skipRemaining_ = 0;
  char32_t highSurrogate_ = 0;
  TextParagraph paragraph_;
  RichDocument document_;
};

}  // namespace

RichTextResult readRichText(std::string_view bytes) { return Reader(bytes).run(); }

}  // namespace kelvak
