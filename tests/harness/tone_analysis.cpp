// Tone runs and symbol decoding for recordings of the program's output.
#include "tests/harness/tone_analysis.h"

#include <cmath>

namespace kelvak::testing {

std::vector<ToneRun> findToneRuns(const std::vector<std::uint8_t>& samples, int flat) {
  std::vector<ToneRun> runs;
  const auto n = static_cast<std::int64_t>(samples.size());
  std::int64_t i = 0;
  bool inTone = false;
  std::int64_t toneStart = 0;
  while (i < n) {
    // Length of the constant stretch starting at i.
    std::int64_t j = i + 1;
    while (j < n && samples[j] == samples[i]) ++j;
    const bool level = j - i >= flat;
    if (level && inTone) {
      runs.push_back({toneStart, i});
      inTone = false;
    } else if (!level && !inTone) {
      toneStart = i;
      inTone = true;
    }
    i = j;
  }
  if (inTone) runs.push_back({toneStart, n});
  return runs;
}

std::vector<HeardSymbol> decodeSymbols(const std::vector<ToneRun>& runs, double samplesPerUnit) {
  std::vector<HeardSymbol> symbols;
  for (std::size_t k = 0; k < runs.size(); ++k) {
    const double units = static_cast<double>(runs[k].end - runs[k].start) / samplesPerUnit;
    const double gapBefore =
        k == 0 ? 1e9 : static_cast<double>(runs[k].start - runs[k - 1].end) / samplesPerUnit;
    if (gapBefore > 2.0) {
      symbols.push_back({runs[k].start, "", {}, {}});
    } else {
      symbols.back().gapUnits.push_back(gapBefore);
    }
    HeardSymbol& s = symbols.back();
    s.toneUnits.push_back(units);
    if (std::abs(units - 1.0) < 0.25) {
      s.elements += '.';
    } else if (std::abs(units - 3.0) < 0.25) {
      s.elements += '-';
    } else {
      s.elements += '?';
    }
  }
  return symbols;
}

}  // namespace kelvak::testing
