// One symbol's samples as the sound device and the forming share them, and their sample rate.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

namespace kelvak {

constexpr int kSampleRate = 11025;  // [samples/s]

// One symbol's unsigned 8-bit samples. Shared so that a block handed to the sound device outlives
// a new forming.
using SymbolBlock = std::shared_ptr<const std::vector<std::uint8_t>>;

}  // namespace kelvak
