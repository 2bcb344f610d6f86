// The rule that places a symbol block behind the one before it.
#include "synth/block_placement.h"

#include <algorithm>

namespace kelvak {

std::int64_t toneSamples(std::int64_t blockSamples, std::int32_t samplesPerUnit) {
  const std::int64_t tail = std::int64_t{kSilentTailUnits} * std::max(samplesPerUnit, 0);
  return blockSamples > tail ? blockSamples - tail : blockSamples;
}

std::int64_t blockStartBehind(const PlacedBlock& previous, std::int64_t due) {
  // Never before the block before has started, never inside its tone.
  return std::max({due, previous.start, previous.toneEnd});
}

}  // namespace kelvak
