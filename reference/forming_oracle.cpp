// The literal per-sample forming: one sine and one generator draw per sample, nothing shared.
#include "reference/forming_oracle.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "synth/symbol_table.h"

namespace kelvak {

int literalTone(int frequency, std::int64_t j, int amplitude) {
  const double s = std::sin(frequency * 6.28 * static_cast<double>(j) * (1.0 / kSampleRate));
  return static_cast<int>(std::trunc(s * amplitude + 127.0));
}

SymbolBuffers formSymbolBuffersLiterally(const FormingSettings& settings, Random& random,
                                         std::int32_t previousUnitMs) {
  SymbolBuffers out;
  out.unitMs = unitDuration(settings.speed, settings.textKind).value_or(previousUnitMs);
  out.samplesPerUnit = samplesPerUnitFor(out.unitMs);
  const int amplitude = 127 - settings.signalPosition;
  const std::int32_t noiseLevel = 127 - settings.noisePosition;
  const std::int64_t spu = out.samplesPerUnit;
  for (int i = 0; i < kSymbolCount; ++i) {
    const Symbol& sym = SymbolTable[i];
    const std::int64_t len = spu > 0 ? spu * sym.length : 0;
    auto block = std::make_shared<std::vector<std::uint8_t>>(static_cast<std::size_t>(len));
    std::uint32_t pattern = sym.pattern;
    for (std::int64_t j = 0; j < len; ++j) {
      const int level =
          (pattern & 1u) ? literalTone(settings.frequency, j, amplitude) : int{kSilentLevel};
      const int noise = noiseLevel > 0 ? random.random(2 * noiseLevel) - noiseLevel : 0;
      const int sample = std::clamp(level + noise, 0, 255);
      (*block)[static_cast<std::size_t>(j)] = static_cast<std::uint8_t>(sample);
      if (j % spu == spu - 1) pattern >>= 1;
    }
    out.blocks[i] = std::move(block);
  }
  return out;
}

}  // namespace kelvak
