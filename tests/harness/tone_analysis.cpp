// Tone runs and symbol decoding for recordings of the program's output.
#include "tests/harness/tone_analysis.h"

#include <cmath>

#include "synth/symbol_table.h"

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

std::vector<SymbolCheck> checkSymbols(const std::vector<HeardSymbol>& heard,
                                      const std::vector<int>& sent,
                                      const std::vector<double>& writtenMs, double samplesPerUnit,
                                      double tolerance) {
  std::vector<SymbolCheck> checks;
  const double rate = 11025.0 / 1000.0;  // [samples/ms]
  const double slack = 2.0 * samplesPerUnit;
  std::size_t h = 0;
  double expected = heard.empty() ? 0.0 : static_cast<double>(heard[0].onset);
  for (std::size_t k = 0; k < sent.size(); ++k) {
    SymbolCheck check{sent[k], "", -1, false};
    const double step = k + 1 < sent.size() ? (writtenMs[k + 1] - writtenMs[k]) * rate : 1e18;
    double next = expected + step;
    std::vector<const HeardSymbol*> mine;
    while (h < heard.size() && static_cast<double>(heard[h].onset) < expected - slack) ++h;
    if (h < heard.size() && static_cast<double>(heard[h].onset) < next - slack) {
      // Carry the moments on from what was really heard, so a slow drift never adds up.
      next = static_cast<double>(heard[h].onset) + step;
      check.onset = heard[h].onset;
      while (h < heard.size() && static_cast<double>(heard[h].onset) < next - slack) {
        mine.push_back(&heard[h++]);
      }
    }
    for (const HeardSymbol* s : mine) check.heard += (check.heard.empty() ? "" : "|") + s->elements;
    if (mine.size() == 1 && sent[k] >= 0 && mine[0]->elements == SymbolTable[sent[k]].elements) {
      check.intact = true;
      const std::string& e = mine[0]->elements;
      for (std::size_t i = 0; i < e.size(); ++i) {
        const double units = e[i] == '-' ? 3.0 : 1.0;
        if (std::abs(mine[0]->toneUnits[i] - units) * samplesPerUnit > tolerance) {
          check.intact = false;
        }
      }
      for (double g : mine[0]->gapUnits) {
        if (std::abs(g - 1.0) * samplesPerUnit > tolerance) check.intact = false;
      }
    }
    checks.push_back(std::move(check));
    expected = next;
  }
  return checks;
}

}  // namespace kelvak::testing
