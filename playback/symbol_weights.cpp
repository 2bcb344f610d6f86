// The weighted choice: running sums of the weights, searched for one draw.
#include "playback/symbol_weights.h"

#include <algorithm>
#include <limits>

#include "base/error.h"
#include "synth/symbol_table.h"

namespace kelvak {

SymbolWeights::SymbolWeights(const std::vector<std::pair<int, std::uint32_t>>& weights) {
  std::uint64_t sum = 0;
  for (const auto& [symbol, weight] : weights) {
    if (symbol < 0 || symbol >= kSymbolCount) {
      throw KelvakError("Symbol " + std::to_string(symbol) + " is out of range");
    }
    if (weight == 0) continue;
    sum += weight;
    // The draw is 0 .. 2^31 - 1, so the total must stay below it.
    if (sum > std::numeric_limits<std::int32_t>::max())
      throw KelvakError("The weights are too large");
    symbols_.push_back(static_cast<std::uint8_t>(symbol));
    upTo_.push_back(static_cast<std::uint32_t>(sum));
  }
  if (symbols_.empty()) throw KelvakError("No symbol to choose from");
}

int SymbolWeights::pick(Random& random) const {
  const auto r = static_cast<std::uint32_t>(random.random(static_cast<std::int32_t>(total())));
  const auto at = std::upper_bound(upTo_.begin(), upTo_.end(), r) - upTo_.begin();
  return symbols_[static_cast<std::size_t>(at)];
}

std::uint32_t SymbolWeights::weight(int symbol) const {
  for (std::size_t k = 0; k < symbols_.size(); ++k) {
    if (symbols_[k] == symbol) return upTo_[k] - (k == 0 ? 0 : upTo_[k - 1]);
  }
  return 0;
}

}  // namespace kelvak
