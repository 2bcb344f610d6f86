// Builds the help document "Справка.rtf" from its source, rich-text markup with the Russian text
// written as UTF-8, by storing every non-ASCII character as a Windows-1251 escape.
// Run: kelvak_make_help_document <data folder>/help_document.rtf.in <data folder>/Справка.rtf
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

#include "text/code_pages.h"
#include "text/utf8.h"
#include "document/rich_text_escape.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s <source> <document>\n", argv[0]);
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "cannot read %s\n", argv[1]);
    return 1;
  }
  const std::string source((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (!kelvak::isValidUtf8(source)) {
    std::fprintf(stderr, "%s is not UTF-8\n", argv[1]);
    return 1;
  }
  std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
  out << kelvak::escapeRichText(source, kelvak::kCodePageCyrillic);
  if (!out.flush()) {
    std::fprintf(stderr, "cannot write %s\n", argv[2]);
    return 1;
  }
  return 0;
}
