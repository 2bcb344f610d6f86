// Where a symbol block starts on the output, behind the block before it. One rule for everything
// that lays symbols out on a sample line: the live sound device and the audio-file export.
#pragma once

#include <cstdint>

namespace kelvak {

// Every symbol block ends in four silent units; only the part before them carries tone.
inline constexpr std::int32_t kSilentTailUnits = 4;

// The samples at the start of a block of `blockSamples` that carry tone: all but the silent tail
// of four units [samples]. A block shorter than its tail is all tone (nothing of it may be cut).
std::int64_t toneSamples(std::int64_t blockSamples, std::int32_t samplesPerUnit);

// A block already on the output [samples, positions on the output's sample line].
struct PlacedBlock {
  std::int64_t start;    // first sample
  std::int64_t toneEnd;  // one past its last tone sample: start + toneSamples(...)
  std::int64_t end;      // one past its last sample
};

// The output position where a block due at `due` starts when `previous` is the block written
// before it. A block starts at its own time whenever the block before has ended by then or is only
// playing its silent tail: that tail is cut at the new block's start, so a character pause of 0
// (each tick four units before the block before has ended) never builds a backlog. A block due
// while the one before still sounds tone starts right where that tone ends: tone is never cut,
// and blocks keep the order in which they were written. The block before plays from its start up
// to the returned position.
std::int64_t blockStartBehind(const PlacedBlock& previous, std::int64_t due);

}  // namespace kelvak
