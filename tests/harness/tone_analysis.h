// Finding Morse symbols in a recording of the program's own output (unsigned 8-bit samples).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kelvak::testing {

// A stretch of tone [samples]: from its first sample to one past its last.
struct ToneRun {
  std::int64_t start;
  std::int64_t end;
};

// Tone is any stretch where the signal moves; the output holds a constant level between
// elements (0 after a block, 0x80 before the first). A level that stays put for `flat`
// samples or more is not tone, so a sine's equal neighbours near its peaks are not cut.
std::vector<ToneRun> findToneRuns(const std::vector<std::uint8_t>& samples, int flat = 6);

// One symbol heard in a recording: its onset [samples] and its elements as dots and dashes.
struct HeardSymbol {
  std::int64_t onset;
  std::string elements;
  std::vector<double> toneUnits;  // each element's length [units]
  std::vector<double> gapUnits;   // silence between elements [units]
};

// Groups tone runs into symbols: elements apart by about one unit belong together; silence of
// more than two units starts a new symbol. A run near one unit is a dot, near three a dash, and
// anything else shows as '?'.
std::vector<HeardSymbol> decodeSymbols(const std::vector<ToneRun>& runs, double samplesPerUnit);

// One written symbol against what was heard of it.
struct SymbolCheck {
  int sent;                 // the symbol index written
  std::string heard;        // the elements heard, symbols run together with '|'; empty if none
  std::int64_t onset = -1;  // where the first heard part starts [samples]; -1 when none
  bool intact = false;      // heard once, with exactly the written elements and lengths
};

// Pairs the symbols heard with the symbols written and judges each. expectedOnset: where each
// written symbol should start in the recording [samples], in increasing order; a few
// milliseconds off does no harm. Each heard symbol belongs to the write expected nearest to it,
// so a split, lost or shifted symbol never puts the rest out of step. Intact: one heard symbol
// with the symbol's elements, every element and every gap between them within `tolerance`
// [samples] of a whole number of units (1 or 3 for tones, 1 for gaps).
std::vector<SymbolCheck> checkSymbols(const std::vector<HeardSymbol>& heard,
                                      const std::vector<int>& sent,
                                      const std::vector<double>& expectedOnset,
                                      double samplesPerUnit, double tolerance);

}  // namespace kelvak::testing
