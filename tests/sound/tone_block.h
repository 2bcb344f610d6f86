// Blocks for the sound device tests: each sample is told apart from its neighbours and from the
// level a device fills a gap with, so a sample lost, doubled or moved shows in the output.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "synth/symbol_block.h"

namespace kelvak::testing {

// `n` samples ending on `last`.
inline SymbolBlock toneBlock(std::size_t n, std::uint8_t seed, std::uint8_t last = 0) {
  std::vector<std::uint8_t> s(n);
  for (std::size_t i = 0; i < n; ++i) s[i] = static_cast<std::uint8_t>(1 + (seed + i * 7) % 250);
  s.back() = last;
  return std::make_shared<const std::vector<std::uint8_t>>(std::move(s));
}

}  // namespace kelvak::testing
