// What is sent: random symbols from the generator, or the symbols of a text file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "files/regular_file.h"
#include "playback/symbol_weights.h"
#include "settings/setting_table.h"
#include "synth/random.h"
#include "text/utf16.h"
#include "text/utf8.h"

namespace kelvak {

constexpr int kMaxFileSymbols = kMaxGroups * 5;  // more of a file can never be sent

// Symbol indices 0..44 taken from a text file, in file order.
struct FileText {
  std::vector<std::uint8_t> symbols;
  bool more = false;  // the file holds more symbols than were kept
  std::int32_t count() const { return static_cast<std::int32_t>(symbols.size()); }
  // Whole groups of five; a final partial group is never sent.
  std::int32_t groups() const { return count() / 5; }
};

// Bytes read of a file at most [bytes]. No learner's text hides its first symbols behind
// megabytes of other bytes, and reading stops here whatever the file holds, so that loading any
// file, of any size, stays short.
constexpr std::size_t kMaxFileBytes = 8u << 20;

// Turns a file's bytes, fed in pieces of any size, into a FileText. A file that begins with a
// UTF-16 byte-order mark (FF FE little-endian, FE FF big-endian) is decoded as UTF-16. Any other
// is matched as Windows-1251, unless it is valid UTF-8 holding multi-byte characters: then it is
// decoded as UTF-8 (a byte-order mark is dropped) and matched character by character. A sequence
// cut off by the end of what was read does not make a file invalid. Only the first
// maxSymbols symbols of each reading are kept, and once every reading still in question is
// full the result is decided on the bytes so far: later bytes change nothing.
class FileTextDecoder {
 public:
  explicit FileTextDecoder(std::size_t maxSymbols = kMaxFileSymbols)
      : max_(maxSymbols), limit_(maxSymbols + 1) {}
  void feed(const std::uint8_t* data, std::size_t size);
  FileText finish();
  // True when no further byte can change the result.
  bool settled() const;

 private:
  enum class Form { Undecided, Bytes, Utf16 };
  void begin(const std::uint8_t* head, std::size_t size);
  void feedBytes(const std::uint8_t* data, std::size_t size);
  void feedUtf16(const std::uint8_t* data, std::size_t size);
  // A reading keeps one symbol beyond the most: then the file is known to hold more.
  bool full(const std::vector<std::uint8_t>& reading) const { return reading.size() >= limit_; }
  void keep(std::vector<std::uint8_t>& reading, int index) const {
    if (index >= 0 && !full(reading)) reading.push_back(static_cast<std::uint8_t>(index));
  }

  std::size_t max_, limit_;

  Form form_ = Form::Undecided;
  std::uint8_t head_[2] = {};  // the first bytes, until the byte-order mark is known
  std::size_t headSize_ = 0;
  std::vector<std::uint8_t> cp1251_;   // the bytes matched as Windows-1251
  std::vector<std::uint8_t> unicode_;  // the characters decoded as UTF-8 or UTF-16
  bool utf8Valid_ = true;
  bool utf8MultiByte_ = false;  // a whole character beyond ASCII has been decoded
  Utf8Decoder utf8_;
  ByteOrder order_ = ByteOrder::Little;
  Utf16Decoder utf16_{ByteOrder::Little};
};

// Reads a regular file in pieces, up to kMaxFileBytes and only until the result is settled,
// keeping maxSymbols symbols of each reading. A read that fails part-way keeps what was read
// before the failure.
FileText readFileText(RegularFile& file, std::size_t maxSymbols = kMaxFileSymbols);
// The same by name. A file that cannot be opened, or breaks the rule of RegularFile (a FIFO or a
// device is not waited for), loads as an empty text.
FileText readFileText(const std::string& path, std::size_t maxSymbols = kMaxFileSymbols);

// The settings that choose a symbol, read from the window at every tick.
struct SymbolChoice {
  bool randomSource = true;  // false: the file text
  int textKind = 0;          // 0 digits, 1 letters, 2 mixture
  bool longZero = false;
  bool specialSigns = false;
  // With the random source and set: the one draw picks from these weights instead of evenly from
  // the text kind's symbols (a zero is the long zero wherever it would be).
  const SymbolWeights* weights = nullptr;
};

// The symbol to send when `counter` symbols have been sent. Draws exactly one generator value with
// the random source (also for the start signal, which is returned whenever counter is 0) and none
// with the file source. With the file source counter - 1 must lie within the file text.
int nextSymbolIndex(const SymbolChoice& choice, std::int32_t counter, const FileText& text,
                    Random& random);

}  // namespace kelvak
