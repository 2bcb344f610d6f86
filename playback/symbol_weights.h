// A weighted choice among symbols: the learning modes change which symbol the generator's one
// draw per tick picks, never how many draws there are.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "synth/random.h"

namespace kelvak {

class SymbolWeights {
 public:
  SymbolWeights() = default;
  // Symbol indices 0..45 with their weights; symbols of weight 0 are never picked. Throws
  // KelvakError when no symbol has a weight or an index is out of range.
  explicit SymbolWeights(const std::vector<std::pair<int, std::uint32_t>>& weights);

  // One generator draw: each symbol comes with the chance weight / total().
  int pick(Random& random) const;

  bool empty() const { return symbols_.empty(); }
  const std::vector<std::uint8_t>& symbols() const { return symbols_; }
  std::uint32_t weight(int symbol) const;  // 0 for a symbol not in the choice
  std::uint32_t total() const { return upTo_.empty() ? 0 : upTo_.back(); }

 private:
  std::vector<std::uint8_t> symbols_;
  std::vector<std::uint32_t> upTo_;  // running sums of the weights
};

}  // namespace kelvak
