// Where a symbol block sounds on the output: one pure rule for the audio export and the sound
// device alike, so a file and a transmission place their blocks the same way.
#pragma once

#include <cstdint>

namespace kelvak {

// Samples a block holds after its last tone: every symbol ends with four silent units.
constexpr std::int64_t kSilentTailUnits = 4;

// The output position of a tick's block [samples]. It starts at its own tick time `onset`; when
// that falls inside the block before, the block before is cut there, but only within its silent
// tail: a tick that comes before the tone of the block before has ended (a pause field typed below
// the spin range) waits for that tone's end. So tone is never cut and blocks sound in the order
// written. previousLength 0 means there is no block before.
constexpr std::int64_t blockStart(std::int64_t onset, std::int64_t previousStart,
                                  std::int64_t previousLength, std::int64_t silentTail) {
  if (previousLength <= 0) return onset;
  const std::int64_t toneEnd = previousStart + previousLength - silentTail;
  return onset > toneEnd ? onset : toneEnd;
}

// A tick time [ms] from the start of the output as a sample position, rounded to the nearest
// sample, halves up. Applied to the running tick time, never to single intervals, so the rounding
// never adds up over a transmission.
constexpr std::int64_t msToSamples(std::int64_t ms, std::int64_t sampleRate) {
  return (ms * sampleRate + 500) / 1000;
}

}  // namespace kelvak
