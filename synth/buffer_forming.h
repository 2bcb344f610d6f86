// Synthesis of the 46 symbol blocks (unsigned 8-bit PCM, 11025 Hz) from the sound settings.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "settings/setting_table.h"
#include "synth/random.h"
#include "synth/symbol_block.h"
#include "synth/symbol_table.h"

namespace kelvak {

// The settings the forming reads, as the window's controls hold them at the moment of forming;
// ranges and defaults are the setting table's.
struct FormingSettings {
  int speed = settingRow(Setting::Speed).initial;            // groups per minute
  int textKind = 0;                                          // 0 digits, 1 letters, 2 mixture
  int frequency = settingRow(Setting::Tone).initial;         // tone [Hz]
  int signalPosition = settingRow(Setting::Signal).initial;  // amplitude = 127 - position
  int noisePosition = settingRow(Setting::Noise).initial;    // noise level = 127 - position
};

struct SymbolBuffers {
  std::array<SymbolBlock, kSymbolCount> blocks;  // all empty before the first forming
  std::int32_t unitMs = 0;                       // one Morse unit [ms]
  std::int32_t samplesPerUnit = 0;               // one Morse unit [samples]

  bool formed() const { return blocks[0] != nullptr; }
  // Length of a symbol's block [samples]; 0 when not formed.
  std::int32_t length(int index) const;
  void release() { blocks = {}; }
};

// Units of time per five-character group used to calibrate the speed, by text kind.
constexpr std::array<int, 3> kUnitsPerGroup = {91, 74, 78};

// UnitMs for a speed and text kind; nullopt for a text kind other than 0..2 (the caller keeps its
// previous value). Speed 0 throws KelvakError("Floating point division by zero").
std::optional<std::int32_t> unitDuration(int speed, int textKind);

// Samples in one unit of unitMs milliseconds.
std::int32_t samplesPerUnitFor(std::int32_t unitMs);

// Called after each symbol is formed with its index 0..45.
using FormingProgress = std::function<void(int)>;

// Forms all 46 blocks. A sample is the tone, 127 + A * sine, where its unit sounds and the silent
// level 0x80 where it does not, plus random(2 * N) - N for the noise level N, held within 0..255.
// previousUnitMs stands when the text kind is out of range. Throws before
// allocating or drawing anything at speed 0 (the generator and `recycle` stay as they were);
// throws KelvakError on a failed allocation, before any draw. When `recycle` is given (a set this
// function formed earlier), the memory of its blocks that nobody else still holds may be reused;
// the set it points to is left empty either way. progress(i) runs on the calling thread for
// i = 0..45 in order, with the generator already past symbol i's draws.
SymbolBuffers formSymbolBuffers(const FormingSettings& settings, Random& random,
                                std::int32_t previousUnitMs, const FormingProgress& progress = {},
                                SymbolBuffers* recycle = nullptr);

}  // namespace kelvak
