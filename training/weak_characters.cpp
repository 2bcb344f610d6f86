// Weak characters' weights from the recent history.
#include "training/weak_characters.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "synth/symbol_table.h"

namespace kelvak {

std::map<char32_t, RecentTally> recentTallies(const std::vector<CheckRecord>& records) {
  // Summed by symbol in a flat table: a long history is read after every check.
  static const std::vector<std::int8_t> slotOfChar = [] {
    std::vector<std::int8_t> slots(0x480, -1);
    for (int i = 0; i < kMatchableSymbols; ++i) {
      if (SymbolTable[i].unicode < slots.size()) slots[SymbolTable[i].unicode] = std::int8_t(i);
    }
    return slots;
  }();
  std::array<RecentTally, kMatchableSymbols> bySymbol{};
  std::map<char32_t, RecentTally> others;  // characters beyond the table ("№")
  int full = 0;
  const double limit = static_cast<double>(kRecentSendings);
  // Once every character of the alphabet has its sendings, older checks change nothing.
  for (auto r = records.rbegin(); r != records.rend() && full < kMatchableSymbols; ++r) {
    for (const CharTally& c : r->chars) {
      if (c.sent <= 0) continue;
      const int slot = c.ch < slotOfChar.size() ? slotOfChar[c.ch] : -1;
      RecentTally& t = slot >= 0 ? bySymbol[static_cast<std::size_t>(slot)] : others[c.ch];
      const double room = limit - t.sent;
      if (room <= 0) continue;
      const double part = std::min(1.0, room / c.sent);
      t.sent += part * c.sent;
      t.correct += part * c.correct;
      if (t.sent >= limit) ++full;
    }
  }
  for (int i = 0; i < kMatchableSymbols; ++i) {
    if (bySymbol[static_cast<std::size_t>(i)].sent > 0) {
      others[SymbolTable[i].unicode] = bySymbol[static_cast<std::size_t>(i)];
    }
  }
  return others;
}

double weakWeight(const RecentTally& tally) {
  const double errors = tally.sent - tally.correct + kPriorMisses;
  return std::max(kFloorWeight, errors / (tally.sent + kPriorMisses));
}

std::vector<std::pair<int, std::uint32_t>> weakWeights(
    const std::vector<int>& symbols, const std::map<char32_t, RecentTally>& tallies) {
  std::vector<std::pair<int, std::uint32_t>> out;
  for (const int s : symbols) {
    const char32_t ch = SymbolTable[static_cast<std::size_t>(s)].unicode;
    const auto t = tallies.find(ch);
    const double w = t == tallies.end() ? 1.0 : weakWeight(t->second);
    out.emplace_back(s, static_cast<std::uint32_t>(std::lround(w * 1000)));
  }
  return out;
}

std::vector<char32_t> heaviest(const std::vector<std::pair<int, std::uint32_t>>& weights,
                               std::size_t count) {
  auto sorted = weights;
  std::stable_sort(sorted.begin(), sorted.end(),
                   [](const auto& a, const auto& b) { return a.second > b.second; });
  std::vector<char32_t> out;
  for (const auto& [s, w] : sorted) {
    if (out.size() == count) break;
    out.push_back(SymbolTable[static_cast<std::size_t>(s)].unicode);
  }
  return out;
}

}  // namespace kelvak
