// libFuzzer target: the help document reader on any bytes. It must return (no crash, no hang,
// bounded memory) with valid UTF-8 text in every run, and a refusal only for the causes it names.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "document/document_reader.h"
#include "document/rich_text.h"

namespace {

bool validUtf8(std::string_view s) {
  std::size_t k = 0;
  while (k < s.size()) {
    const auto b = static_cast<unsigned char>(s[k]);
    const int length = b < 0x80 ? 1 : (b & 0xE0) == 0xC0 ? 2 : (b & 0xF0) == 0xE0 ? 3
                                    : (b & 0xF8) == 0xF0 ? 4 : 0;
    if (length == 0 || k + static_cast<std::size_t>(length) > s.size()) return false;
    for (int n = 1; n < length; ++n) {
      if ((static_cast<unsigned char>(s[k + static_cast<std::size_t>(n)]) & 0xC0) != 0x80) {
        return false;
      }
    }
    k += static_cast<std::size_t>(length);
  }
  return true;
}

void checkDocument(const kelvak::RichDocument& document) {
  for (const auto& paragraph : document.paragraphs) {
    for (const auto& run : paragraph.runs) {
      if (!validUtf8(run.text)) std::abort();
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const kelvak::RichTextResult rich = kelvak::readRichText(bytes);
  if (rich.ok()) checkDocument(rich.document);

  const auto loaded = kelvak::readDocument(bytes);
  if (loaded) {
    checkDocument(loaded->document);
    // A file read as rich text is shown as rich text.
    if (rich.ok() && loaded->format != kelvak::DocumentFormat::RichText) std::abort();
  } else if (rich.ok()) {
    std::abort();  // readable rich text must never be refused
  }
  return 0;
}
