// Reading the help document: rich text first, plain text when the file is not rich text.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

#include "document/rich_document.h"

namespace kelvak {

// Plain text: UTF-8 when the bytes are valid UTF-8 (a byte-order mark is dropped), otherwise
// Windows-1251. Each line becomes a paragraph; CR LF, LF and a lone CR all end a line. Control
// characters other than the tab have no visible form and are left out.
// Refused (nothing returned): bytes that hold a NUL, which no text file does (binary data,
// UTF-16), and bytes that begin with "{\rtf", which claim to be rich text: showing such a file's
// markup to the user would be no help.
std::optional<RichDocument> readPlainText(std::string_view bytes);

// The largest help document read [bytes]. The program's own guide is some 30 kB; one of 128 kB
// made of short formatted paragraphs shows in under 0.1 s even on a busy machine, and a larger
// file is no guide but a wrong file that would hold the window.
inline constexpr std::size_t kMaxHelpDocumentBytes = 128u << 10;

enum class DocumentFormat { RichText, PlainText };

struct LoadedDocument {
  DocumentFormat format = DocumentFormat::RichText;
  RichDocument document;
};

// Reads the bytes as rich text; when that fails, reads them again as plain text. Nothing when
// both fail: a file that says it is rich text but cannot be followed as such (cut short,
// unbalanced braces, nesting beyond the reader's bound, a broken \' escape), or a file with NUL
// bytes.
std::optional<LoadedDocument> readDocument(std::string_view bytes);

}  // namespace kelvak
