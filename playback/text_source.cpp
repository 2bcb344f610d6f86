// Text sources: file decoding and the choice of the symbol for each tick.
#include "playback/text_source.h"

#include <array>
#include <cstring>
#include <fstream>

#include "synth/symbol_table.h"

namespace kelvak {

void FileTextDecoder::keep(std::vector<std::uint8_t>& out, int index) {
  if (out.size() < static_cast<std::size_t>(kMaxFileSymbols)) {
    out.push_back(static_cast<std::uint8_t>(index));
  }
}

void FileTextDecoder::utf8Byte(std::uint8_t b) {
  if (b >= 0x80) utf8MultiByte_ = true;
  switch (utf8Decoder_.feed(b)) {
    case Utf8Decoder::Step::Pending:
      break;
    case Utf8Decoder::Step::Invalid:
      utf8Valid_ = false;
      break;
    case Utf8Decoder::Step::Char:
      // ASCII is the same in both encodings, so it is looked up by its byte.
      if (auto i = b < 0x80 ? indexOfByte(b) : indexOfChar(utf8Decoder_.value())) keep(utf8_, *i);
      break;
  }
}

void FileTextDecoder::feed(const std::uint8_t* data, std::size_t size) {
  const auto full = [](const std::vector<std::uint8_t>& v) {
    return v.size() >= static_cast<std::size_t>(kMaxFileSymbols);
  };
  std::size_t k = 0;
  while (k < size && utf8Valid_ && (!full(cp1251_) || !full(utf8_))) {
    const std::uint8_t b = data[k++];
    if (auto i = indexOfByte(b)) keep(cp1251_, *i);
    utf8Byte(b);
  }
  // Both readings are full: all that is left to learn is whether the file is valid UTF-8.
  if (utf8Valid_ && k < size) validateUtf8(data + k, size - k);
  // An invalid UTF-8 file is read as Windows-1251 only.
  for (; k < size && !full(cp1251_); ++k) {
    if (auto i = indexOfByte(data[k])) keep(cp1251_, *i);
  }
}

void FileTextDecoder::validateUtf8(const std::uint8_t* data, std::size_t size) {
  std::size_t k = 0;
  while (k < size && utf8Valid_) {
    if (!utf8Decoder_.midSequence()) {
      // Runs of ASCII, eight bytes at a time.
      while (k + 8 <= size) {
        std::uint64_t word;
        std::memcpy(&word, data + k, sizeof word);
        if (word & 0x8080808080808080ull) break;
        k += 8;
      }
      if (k == size) break;
    }
    const std::uint8_t b = data[k++];
    if (b >= 0x80) utf8MultiByte_ = true;
    if (utf8Decoder_.feed(b) == Utf8Decoder::Step::Invalid) utf8Valid_ = false;
  }
}

FileText FileTextDecoder::finish() {
  const bool utf8 = utf8Valid_ && !utf8Decoder_.midSequence() && utf8MultiByte_;
  FileText text;
  text.symbols = utf8 ? std::move(utf8_) : std::move(cp1251_);
  *this = FileTextDecoder();
  return text;
}

FileText readFileText(const std::string& path) {
  FileTextDecoder decoder;
  std::ifstream in(path, std::ios::binary);
  if (!in) return decoder.finish();
  std::array<char, 64 * 1024> piece;
  while (in && !decoder.settled()) {
    in.read(piece.data(), piece.size());
    const std::streamsize got = in.gcount();
    if (got <= 0) break;
    decoder.feed(reinterpret_cast<const std::uint8_t*>(piece.data()),
                 static_cast<std::size_t>(got));
  }
  return decoder.finish();
}

int nextSymbolIndex(const SymbolChoice& choice, std::int32_t counter, const FileText& text,
                    Random& random) {
  int index = 0;
  if (choice.randomSource) {
    switch (choice.textKind) {
      case 0: {
        const int d = random.random(10);
        index = d == 0 ? (choice.longZero ? kLongZero : 0) : d;
        break;
      }
      case 1:
        index = 10 + random.random(choice.specialSigns ? 35 : 31);
        break;
      default: {
        // In the mixture a zero is always the long zero.
        const int d = random.random(choice.specialSigns ? 46 : 41);
        index = d == 0 ? kLongZero : d;
        break;
      }
    }
  } else if (counter == 0) {
    index = kStartSignal;
  } else {
    index = text.symbols.at(static_cast<std::size_t>(counter - 1));
    if (choice.longZero && index == 0) index = kLongZero;
  }
  return counter == 0 ? kStartSignal : index;
}

}  // namespace kelvak
