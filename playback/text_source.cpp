// Text sources: file decoding and the choice of the symbol for each tick.
#include "playback/text_source.h"

#include <algorithm>
#include <array>
#include <optional>

#include "synth/symbol_table.h"

namespace kelvak {

namespace {

constexpr char32_t kCharTableEnd = 0x480;  // the table of characters reaches past Cyrillic

// Symbol lookups by table, so that a file of millions of bytes or characters that match nothing
// loads quickly. -1 stands for no symbol.
struct Lookup {
  std::array<std::int8_t, 256> byteSymbol;  // a byte matched as Windows-1251
  std::array<bool, 256> plainAscii;         // an ASCII byte that matches nothing
  std::array<std::int8_t, kCharTableEnd> charSymbol;

  Lookup() {
    for (int b = 0; b < 256; ++b) {
      const auto i = indexOfByte(static_cast<std::uint8_t>(b));
      byteSymbol[b] = static_cast<std::int8_t>(i ? *i : -1);
      plainAscii[b] = b < 0x80 && !i;
    }
    charSymbol.fill(-1);
    for (int i = 0; i < kMatchableSymbols; ++i) {
      if (SymbolTable[i].unicode < kCharTableEnd) {
        charSymbol[SymbolTable[i].unicode] = static_cast<std::int8_t>(i);
      }
    }
    // A capital Russian letter is sent as its small letter, and "ё" and "Ё" as "е": a sentence
    // keeps its first letter. "Ъ", like "ъ", has no code and stays skipped.
    constexpr int kCapitalA1251 = 0xC0, kCapitalA = 0x410, kCaseDistance = 0x20;
    for (int k = 0; k < 32; ++k) {
      byteSymbol[kCapitalA1251 + k] = byteSymbol[kCapitalA1251 + kCaseDistance + k];
      charSymbol[kCapitalA + k] = charSymbol[kCapitalA + kCaseDistance + k];
    }
    const std::int8_t ye = charSymbol[U'е'];
    byteSymbol[0xA8] = byteSymbol[0xB8] = ye;  // Windows-1251 "Ё" and "ё"
    charSymbol[U'Ё'] = charSymbol[U'ё'] = ye;
  }
  int ofChar(char32_t ch) const {
    if (ch < kCharTableEnd) return charSymbol[ch];
    const auto i = indexOfChar(ch);  // the few signs beyond the table ("№")
    return i ? *i : -1;
  }
};

// Made on first use: the symbol table it is built from belongs to another library.
const Lookup& lookup() {
  static const Lookup tables;
  return tables;
}

}  // namespace

bool FileTextDecoder::settled() const {
  switch (form_) {
    case Form::Undecided:
      return false;
    case Form::Utf16:
      return full(unicode_);
    case Form::Bytes:
      break;
  }
  return full(cp1251_) && (!utf8Valid_ || full(unicode_));
}

void FileTextDecoder::begin(const std::uint8_t* head, std::size_t size) {
  if (size == 2) {
    if (auto order = utf16ByteOrderMark(head[0], head[1])) {
      form_ = Form::Utf16;
      order_ = *order;
      utf16_ = Utf16Decoder(*order);
      return;  // the mark itself is no text
    }
  }
  form_ = Form::Bytes;
  feedBytes(head, size);
}

void FileTextDecoder::feed(const std::uint8_t* data, std::size_t size) {
  // The first two bytes tell whether a UTF-16 byte-order mark leads the text.
  while (form_ == Form::Undecided && size > 0) {
    head_[headSize_++] = *data++;
    --size;
    if (headSize_ == 2) begin(head_, headSize_);
  }
  if (form_ == Form::Utf16) {
    feedUtf16(data, size);
  } else if (form_ == Form::Bytes) {
    feedBytes(data, size);
  }
}

void FileTextDecoder::feedUtf16(const std::uint8_t* data, std::size_t size) {
  const Lookup& table = lookup();
  std::size_t k = 0;
  while (k < size && !full(unicode_)) {
    if (!utf16_.midSequence() && k + 1 < size) {
      // A whole unit at hand that is no surrogate is a character of its own.
      const char16_t unit =
          order_ == ByteOrder::Little ? data[k] | (data[k + 1] << 8) : (data[k] << 8) | data[k + 1];
      if (unit < 0xD800 || unit > 0xDFFF) {
        keep(unicode_, table.ofChar(unit));
        k += 2;
        continue;
      }
    }
    // A lone low surrogate is skipped like any character that matches nothing.
    if (utf16_.feed(data[k++]) == Utf16Decoder::Step::Char) {
      keep(unicode_, table.ofChar(utf16_.value()));
    }
  }
}

void FileTextDecoder::feedBytes(const std::uint8_t* data, std::size_t size) {
  const Lookup& table = lookup();
  std::size_t k = 0;
  // Both readings side by side while the text may still be UTF-8; each stops growing when full,
  // and the reading ends when both are: what can be sent is known then.
  while (k < size && utf8Valid_ && !(full(cp1251_) && full(unicode_))) {
    if (!utf8_.midSequence()) {
      while (k < size && table.plainAscii[data[k]]) ++k;
      if (k == size) break;
    }
    const std::uint8_t b = data[k++];
    keep(cp1251_, table.byteSymbol[b]);
    if (b < 0x80 && !utf8_.midSequence()) {
      // ASCII is the same in both encodings.
      keep(unicode_, table.byteSymbol[b]);
      continue;
    }
    if (b >= 0xC2 && b <= 0xDF && !utf8_.midSequence() && k < size && (data[k] & 0xC0) == 0x80) {
      // A whole two-byte character, as all of Cyrillic is.
      const std::uint8_t c = data[k++];
      keep(cp1251_, table.byteSymbol[c]);
      utf8MultiByte_ = true;
      keep(unicode_, table.ofChar(static_cast<char32_t>(((b & 0x1F) << 6) | (c & 0x3F))));
      continue;
    }
    switch (utf8_.feed(b)) {
      case Utf8Decoder::Step::Pending:
        break;
      case Utf8Decoder::Step::Invalid:
        utf8Valid_ = false;
        break;
      case Utf8Decoder::Step::Char:
        utf8MultiByte_ = true;
        keep(unicode_, table.ofChar(utf8_.value()));
        break;
    }
  }
  // Not UTF-8: Windows-1251 alone, until its reading is full.
  for (; k < size && !utf8Valid_ && !full(cp1251_); ++k) keep(cp1251_, table.byteSymbol[data[k]]);
}

FileText FileTextDecoder::finish() {
  if (form_ == Form::Undecided) begin(head_, headSize_);  // a text shorter than a mark
  // A sequence cut off by the end of what was read leaves the text UTF-8.
  const bool unicode = form_ == Form::Utf16 || (utf8Valid_ && utf8MultiByte_);
  FileText text;
  text.symbols = unicode ? std::move(unicode_) : std::move(cp1251_);
  text.more = text.symbols.size() > max_;
  if (text.more) text.symbols.resize(max_);
  *this = FileTextDecoder(max_);
  return text;
}

FileText readFileText(RegularFile& file, std::size_t maxSymbols) {
  FileTextDecoder decoder(maxSymbols);
  std::array<std::uint8_t, 64 * 1024> piece;
  std::size_t total = 0;
  try {
    while (total < kMaxFileBytes && !decoder.settled()) {
      const std::size_t want = std::min(piece.size(), kMaxFileBytes - total);
      const std::size_t got = file.read(piece.data(), want);
      if (got == 0) break;
      decoder.feed(piece.data(), got);
      total += got;
    }
  } catch (const FileReadError&) {
    // What was read before the failure stays.
  }
  return decoder.finish();
}

FileText readFileText(const std::string& path, std::size_t maxSymbols) {
  try {
    RegularFile file(path);
    return readFileText(file, maxSymbols);
  } catch (const FileReadError&) {
    return FileText{};
  }
}

int nextSymbolIndex(const SymbolChoice& choice, std::int32_t counter, const FileText& text,
                    Random& random) {
  int index = 0;
  if (choice.randomSource && choice.weights && !choice.weights->empty()) {
    index = choice.weights->pick(random);
    if (index == 0 && (choice.longZero || choice.textKind == 2)) index = kLongZero;
  } else if (choice.randomSource) {
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
