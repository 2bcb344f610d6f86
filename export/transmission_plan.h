// The transmission Play would send, worked out ahead for a sound file: symbols, their places on
// the output and the text the pane would show, and the samples that result.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "playback/text_source.h"
#include "synth/buffer_forming.h"
#include "synth/random.h"

namespace kelvak {

// The window's settings as plain values, read once: nothing changes them while a file is made.
struct ExportSettings {
  int speed = 12;           // groups per minute
  int textKind = 0;         // 0 digits, 1 letters, 2 mixture
  int frequency = 500;      // tone [Hz]
  int signalPosition = 0;   // vertical slider, amplitude = 127 - position
  int noisePosition = 127;  // vertical slider, noise level = 127 - position
  std::int32_t groups = 30;
  std::int32_t charPause = 1;   // the field's value; the tick makes 4 * value - 4 units of it
  std::int32_t groupPause = 2;  // the field's value; the tick makes 4 * value units of it
  bool randomSource = true;     // false: the file text
  bool longZero = false;
  bool specialSigns = false;

  FormingSettings forming() const {
    return {speed, textKind, frequency, signalPosition, noisePosition};
  }
  SymbolChoice choice() const { return {randomSource, textKind, longZero, specialSigns}; }
};

// The start signal comes one timer interval after Play: the first transmission's 1000 ms, which
// the output spends at the silent level.
constexpr std::int64_t kLeadInMs = 1000;
// Longest transmission a file may hold [samples]: about 54 hours, beyond what the spin ranges
// allow.
constexpr std::int64_t kMaxExportSamples = 0x7FFFFFFF;

struct PlannedSymbol {
  int index;           // 0..45
  std::int64_t onset;  // its tick time on the output [samples]
  std::int64_t start;  // where its block begins, after the overlap rule [samples]
};

struct TransmissionPlan {
  SymbolBuffers buffers;
  std::vector<PlannedSymbol> symbols;  // the start signal first
  std::string answerKey;               // the pane's text after the transmission (UTF-8)
  std::int64_t totalSamples = 0;       // up to the end of the last block

  std::int64_t length(std::size_t i) const { return buffers.length(symbols[i].index); }
};

// Forms the blocks and chooses every symbol with `random`, drawing exactly what Play and its ticks
// would draw, in their order: the forming first, then one choice per tick. previousUnitMs stands
// for a text kind outside 0..2, as in the window. Throws KelvakError for a negative group count,
// for pauses that would keep the transmission standing still (an interval of 0 or less [ms]) and
// for a transmission longer than kMaxExportSamples. The file text is read only with the file
// source; a group count beyond it ends the transmission at its last symbol, as a tick does.
TransmissionPlan planTransmission(const ExportSettings& settings, const FileText& text,
                                  Random& random, std::int32_t previousUnitMs = 0);

// Produces a plan's samples in pieces: blocks at their starts, a block cut where the next begins,
// and between blocks the silent level, as the sound device holds it.
class PlanRenderer {
 public:
  explicit PlanRenderer(const TransmissionPlan& plan) : plan_(plan) {}
  // Fills out[0, n) with the next samples; returns how many, 0 at the end.
  std::size_t render(std::uint8_t* out, std::size_t n);
  std::int64_t position() const { return position_; }

 private:
  const TransmissionPlan& plan_;
  std::int64_t position_ = 0;
  std::size_t next_ = 0;  // the first symbol whose block starts after position_
};

}  // namespace kelvak
