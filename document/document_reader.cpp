// Plain-text reading and the rich-then-plain order in which the help document is tried.
#include "document/document_reader.h"

#include "text/code_pages.h"
#include "text/utf8.h"
#include "document/rich_text.h"

namespace kelvak {

std::optional<RichDocument> readPlainText(std::string_view bytes) {
  static constexpr std::string_view kBom = "\xEF\xBB\xBF";
  if (bytes.find('\0') != std::string_view::npos) return std::nullopt;
  if (bytes.substr(0, kBom.size()) == kBom) bytes.remove_prefix(kBom.size());
  if (bytes.substr(0, 5) == "{\\rtf") return std::nullopt;

  const bool utf8 = isValidUtf8(bytes);
  RichDocument document;
  TextRun line;
  bool lineOpen = false;
  auto endLine = [&] {
    TextParagraph paragraph;
    if (!line.text.empty()) paragraph.runs.push_back(std::move(line));
    document.paragraphs.push_back(std::move(paragraph));
    line = TextRun{};
    lineOpen = false;
  };
  std::size_t pos = 0;
  while (pos < bytes.size()) {
    char32_t ch = 0;
    if (utf8) {
      ch = nextUtf8Char(bytes, pos);
    } else {
      ch = decodeCodePageByte(kCodePageCyrillic, static_cast<std::uint8_t>(bytes[pos++]));
    }
    if (ch == '\r') {
      if (pos < bytes.size() && bytes[pos] == '\n') ++pos;
      endLine();
    } else if (ch == '\n') {
      endLine();
    } else {
      lineOpen = true;
      if (ch >= 0x20 || ch == '\t') appendUtf8(line.text, ch);
    }
  }
  if (lineOpen) endLine();
  return document;
}

std::optional<LoadedDocument> readDocument(std::string_view bytes) {
  RichTextResult rich = readRichText(bytes);
  if (rich.ok()) return LoadedDocument{DocumentFormat::RichText, std::move(rich.document)};
  if (std::optional<RichDocument> plain = readPlainText(bytes)) {
    return LoadedDocument{DocumentFormat::PlainText, std::move(*plain)};
  }
  return std::nullopt;
}

}  // namespace kelvak
