// Where the help window finds the user's guide "Справка.rtf", and reading it.
#pragma once

#include <string>
#include <string_view>

#include "document/document_reader.h"

namespace kelvak {

// The guide's bytes. It is looked for in the current folder, then in the installed data folder
// found from the program's folder, then beside the program (the build tree). A place whose file
// breaks the rule of every file read (no regular file, such as a folder, a FIFO or a device, or
// larger than kMaxHelpDocumentBytes) is passed over like one that cannot be opened. Throws
// KelvakError "Cannot open file Справка.rtf" when it can be opened in none of these, or says that
// the first document found beyond the bound is too large.
std::string readHelpDocument(const std::string& programFolder);

// The guide's bytes read as rich text or else as plain text; throws KelvakError "Failed to Load
// Stream" when they can be read neither way.
LoadedDocument parseHelpDocument(std::string_view bytes);

}  // namespace kelvak
