// Tone runs and symbol decoding for recordings of the program's output.
#include "tests/harness/tone_analysis.h"

#include <algorithm>
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
                                      const std::vector<double>& expectedOnset,
                                      double samplesPerUnit, double tolerance) {
  std::vector<std::vector<const HeardSymbol*>> mine(sent.size());
  for (const HeardSymbol& h : heard) {
    if (sent.empty()) break;
    const auto onset = static_cast<double>(h.onset);
    auto it = std::lower_bound(expectedOnset.begin(), expectedOnset.end(), onset);
    std::size_t k = static_cast<std::size_t>(it - expectedOnset.begin());
    if (k == sent.size() || (k > 0 && onset - expectedOnset[k - 1] < expectedOnset[k] - onset)) {
      --k;
    }
    mine[k].push_back(&h);
  }
  std::vector<SymbolCheck> checks;
  for (std::size_t k = 0; k < sent.size(); ++k) {
    SymbolCheck check{sent[k], "", -1, false};
    for (const HeardSymbol* s : mine[k]) {
      check.heard += (check.heard.empty() ? "" : "|") + s->elements;
    }
    if (!mine[k].empty()) check.onset = mine[k][0]->onset;
    if (mine[k].size() == 1 && sent[k] >= 0 &&
        mine[k][0]->elements == SymbolTable[sent[k]].elements) {
      check.intact = true;
      const std::string& e = mine[k][0]->elements;
      for (std::size_t i = 0; i < e.size(); ++i) {
        const double units = e[i] == '-' ? 3.0 : 1.0;
        if (std::abs(mine[k][0]->toneUnits[i] - units) * samplesPerUnit > tolerance) {
          check.intact = false;
        }
      }
      for (double g : mine[k][0]->gapUnits) {
        if (std::abs(g - 1.0) * samplesPerUnit > tolerance) check.intact = false;
      }
    }
    checks.push_back(std::move(check));
  }
  return checks;
}

}  // namespace kelvak::testing
