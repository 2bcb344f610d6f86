// Puts a document read by the rich-text reader into a Qt text document.
#pragma once

#include "document/rich_document.h"

class QTextDocument;

namespace kelvak {

// Replaces the whole content of `target` by `document`. Runs without a font size take the
// target's default font; runs without a colour, the viewer's text colour.
void fillTextDocument(QTextDocument& target, const RichDocument& document);

}  // namespace kelvak
