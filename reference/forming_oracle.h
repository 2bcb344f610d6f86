// The literal per-sample forming of the symbol blocks: the reference the fast forming must match.
#pragma once

#include <cstdint>

#include "synth/buffer_forming.h"
#include "synth/random.h"

namespace kelvak {

// The tone sample of index j as the program defines it: trunc(sin(frequency * 6.28 * j / 11025) *
// amplitude + 127.0), every step in double in exactly that order.
int literalTone(int frequency, std::int64_t j, int amplitude);

// Forms the 46 blocks one sample at a time: the tone when the unit is on, the silent level 0x80
// when it is off, plus random(2 * N) - N for the noise level N, held within 0..255; one draw per
// sample at a non-zero noise level and none at zero, the pattern shifted at the last sample of
// every unit.
SymbolBuffers formSymbolBuffersLiterally(const FormingSettings& settings, Random& random,
                                         std::int32_t previousUnitMs);

}  // namespace kelvak
