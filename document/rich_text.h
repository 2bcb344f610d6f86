// Reader of rich text (RTF) into the document model, without any toolkit.
#pragma once

#include <string_view>

#include "document/rich_document.h"

namespace kelvak {

// Why a rich-text reading gave up. The reader refuses a file rather than guess at a structure it
// cannot follow; it never fails on what it merely does not understand (unknown control words are
// skipped).
enum class RichTextError {
  None,
  NotRichText,         // does not begin with "{\rtf" (a UTF-8 byte-order mark may precede it)
  Truncated,           // ends inside a group, an escape or \bin data
  Unbalanced,          // a "}" without its "{", or text after the document's closing brace
  TooDeep,             // groups nested deeper than kMaxRichTextDepth
  BadEscape,           // \' not followed by two hexadecimal digits
  ControlWordTooLong,  // more than kMaxControlWordLetters letters in one control word
};

// Nesting the reader follows; real documents stay far below it, and the bound keeps hostile
// input from growing the group stack without end.
inline constexpr int kMaxRichTextDepth = 256;
// A control word is at most this many letters long.
inline constexpr int kMaxControlWordLetters = 32;

struct RichTextResult {
  RichTextError error = RichTextError::None;
  RichDocument document;  // meaningful only without error
  bool ok() const { return error == RichTextError::None; }
};

// Reads a whole rich-text file. Runs in time linear in the input and never recurses.
RichTextResult readRichText(std::string_view bytes);

}  // namespace kelvak
