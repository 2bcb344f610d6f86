// What is sent: random symbols from the generator, or the symbols of a text file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "synth/random.h"
#include "text/utf8.h"

namespace kelvak {

constexpr int kMaxGroups = 999;                  // the group count field holds three digits
constexpr int kMaxFileSymbols = kMaxGroups * 5;  // more of a file can never be sent
constexpr std::int32_t kRandomGroupCountMax = 999;

// Symbol indices 0..44 taken from a text file, in file order.
struct FileText {
  std::vector<std::uint8_t> symbols;
  std::int32_t count() const { return static_cast<std::int32_t>(symbols.size()); }
  // Whole groups of five; a final partial group is never sent.
  std::int32_t groups() const { return count() / 5; }
};

// Turns a file's bytes, fed in pieces of any size, into a FileText. The bytes are matched as
// Windows-1251; a file that is valid UTF-8 and holds multi-byte sequences is decoded as UTF-8
// instead (a byte-order mark is dropped) and matched character by character. Memory stays bounded
// whatever the file's size: only the first kMaxFileSymbols symbols of either reading are kept.
class FileTextDecoder {
 public:
  void feed(const std::uint8_t* data, std::size_t size);
  FileText finish();
  // True when no further byte can change the result (both readings are decided and full).
  bool settled() const {
    return !utf8Valid_ && cp1251_.size() >= static_cast<std::size_t>(kMaxFileSymbols);
  }

 private:
  void keep(std::vector<std::uint8_t>& out, int index);
  void utf8Byte(std::uint8_t b);
  void validateUtf8(const std::uint8_t* data, std::size_t size);

  std::vector<std::uint8_t> cp1251_;
  std::vector<std::uint8_t> utf8_;
  bool utf8Valid_ = true;
  bool utf8MultiByte_ = false;
  Utf8Decoder utf8Decoder_;
};

// Reads a file in pieces. A file that cannot be opened gives an empty text; a read that fails
// part-way keeps what was read before the failure.
FileText readFileText(const std::string& path);

// The settings that choose a symbol, read from the window at every tick.
struct SymbolChoice {
  bool randomSource = true;  // false: the file text
  int textKind = 0;          // 0 digits, 1 letters, 2 mixture
  bool longZero = false;
  bool specialSigns = false;
};

// The symbol to send when `counter` symbols have been sent. Draws exactly one generator value with
// the random source (also for the start signal, which is returned whenever counter is 0) and none
// with the file source. With the file source counter - 1 must lie within the file text.
int nextSymbolIndex(const SymbolChoice& choice, std::int32_t counter, const FileText& text,
                    Random& random);

}  // namespace kelvak
