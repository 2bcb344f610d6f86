// One symbol's samples as the sound device and the forming share them, and their sample rate.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

namespace kelvak {

constexpr int kSampleRate = 11025;  // [samples/s]

// The zero level of unsigned 8-bit sound, the middle of its range: silence, the level the noise
// spreads around and the level the output holds where no block plays.
constexpr std::uint8_t kSilentLevel = 0x80;

// One symbol's unsigned 8-bit samples. Shared so that a block handed to the sound device outlives
// a new forming.
using SymbolBlock = std::shared_ptr<const std::vector<std::uint8_t>>;

}  // namespace kelvak
