// libFuzzer target: decoding a text file fed in arbitrary pieces gives the same symbols as the
// whole file at once, never more than can be sent, and only indices of the matchable alphabet.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "synth/symbol_table.h"
#include "playback/text_source.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* raw, std::size_t rawSize) {
  // A first byte with its top bit set repeats the input, so that long files, whose readings fill
  // up before the end, are reached too.
  std::vector<std::uint8_t> buffer(raw, raw + rawSize);
  if (rawSize > 1 && (raw[0] & 0x80)) {
    for (int i = 0; i < 9; ++i) buffer.insert(buffer.end(), buffer.begin(), buffer.end());
  }
  const std::uint8_t* data = buffer.data();
  const std::size_t size = buffer.size();
  kelvak::FileTextDecoder whole;
  whole.feed(data, size);
  const kelvak::FileText expected = whole.finish();

  // The first byte chooses the piece sizes for a second reading of the rest.
  kelvak::FileTextDecoder pieces;
  const std::size_t step = size > 0 ? 1 + data[0] % 7 : 1;
  pieces.feed(data, size > 0 ? 1 : 0);
  for (std::size_t k = size > 0 ? 1 : 0; k < size; k += step) {
    pieces.feed(data + k, step < size - k ? step : size - k);
  }
  if (pieces.finish().symbols != expected.symbols) std::abort();

  if (expected.count() > kelvak::kMaxFileSymbols) std::abort();
  for (std::uint8_t s : expected.symbols) {
    if (s >= kelvak::kMatchableSymbols) std::abort();
  }
  return 0;
}
