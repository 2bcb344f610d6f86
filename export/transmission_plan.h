// The transmission Play would send, worked out ahead for a sound file: symbols, their places on
// the output and the text the pane would show, and the samples that result.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "playback/settings.h"
#include "playback/text_source.h"
#include "synth/buffer_forming.h"
#include "synth/random.h"

namespace kelvak {

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
// for a text kind outside 0..2, as in the window. Throws KelvakError for a negative group count
// (above 999 with random groups), for pauses that would keep the transmission standing still (an
// interval of 0 or less [ms]) and for a transmission longer than kMaxExportSamples. The file text
// is read only with the file source; a group count beyond it ends the transmission at its last
// symbol, as a tick does.
TransmissionPlan planTransmission(const TransmissionSettings& settings, const FileText& text,
                                  Random& random, std::int32_t previousUnitMs = 0);

// A plan drawn from the window's own generator, so the next Play goes on after the exported
// groups. An export that does not complete (cancelled or failed) was never played: giveBack() then
// returns the generator to where it stood before the planning, unless something else drew from it
// meanwhile (a transmission ticking during the export keeps its draws).
class GeneratorPlan {
 public:
  // Plans as planTransmission does; on a throw the generator stays as it was.
  GeneratorPlan(const TransmissionSettings& settings, const FileText& text, Random& random,
                std::int32_t previousUnitMs);
  const TransmissionPlan& plan() const { return plan_; }
  void giveBack();

 private:
  Random& random_;
  std::uint64_t before_;
  std::uint64_t planned_ = 0;
  TransmissionPlan plan_;
};

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
