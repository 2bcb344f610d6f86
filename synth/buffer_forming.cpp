// Symbol block synthesis.
#include "buffer_forming.h"

#include <cmath>
#include <new>

#include "error.h"

namespace kelvak {

std::int32_t SymbolBuffers::length(int index) const {
  const SymbolBlock& b = blocks.at(static_cast<std::size_t>(index));
  return b ? static_cast<std::int32_t>(b->size()) : 0;
}

std::optional<std::int32_t> unitDuration(int speed, int textKind) {
  if (speed == 0) throw KelvakError("Floating point division by zero");
  if (textKind < 0 || textKind > 2) return std::nullopt;
  const double unit = 60000.0 / (static_cast<double>(speed) * kUnitsPerGroup[textKind]);
  return static_cast<std::int32_t>(std::trunc(unit));
}

std::int32_t samplesPerUnitFor(std::int32_t unitMs) {
  // unitMs * 0.001 s * 11025, truncated; done in integers so that exact products stay exact.
  return static_cast<std::int32_t>(static_cast<std::int64_t>(unitMs) * kSampleRate / 1000);
}

SymbolBuffers formSymbolBuffers(const FormingSettings& settings, Random& random,
                                std::int32_t previousUnitMs, const FormingProgress& progress,
                                SymbolBuffers* recycle) {
  SymbolBuffers out;
  out.unitMs = unitDuration(settings.speed, settings.textKind).value_or(previousUnitMs);
  out.samplesPerUnit = samplesPerUnitFor(out.unitMs);
  if (recycle) recycle->release();

  const int amplitude = 127 - settings.signalPosition;
  const std::int32_t noiseRange = 2 * (127 - settings.noisePosition);
  const double step = settings.frequency * 6.28;
  const std::int64_t spu = out.samplesPerUnit;
  try {
    for (int i = 0; i < kSymbolCount; ++i) {
      const Symbol& sym = SymbolTable[i];
      const std::int64_t len = spu > 0 ? spu * sym.length : 0;
      auto block = std::make_shared<std::vector<std::uint8_t>>(static_cast<std::size_t>(len));
      std::uint32_t pattern = sym.pattern;
      for (std::int64_t j = 0; j < len; ++j) {
        int sample;
        if (pattern & 1u) {
          const double s = std::sin(step * static_cast<double>(j) * (1.0 / kSampleRate));
          const int tone = static_cast<int>(std::trunc(s * amplitude + 127.0));
          sample = tone + random.random(noiseRange);
        } else {
          sample = random.random(noiseRange);
        }
        (*block)[static_cast<std::size_t>(j)] = static_cast<std::uint8_t>(sample & 0xFF);
        if (j % spu == spu - 1) pattern >>= 1;
      }
      out.blocks[i] = std::move(block);
      if (progress) progress(i);
    }
  } catch (const std::bad_alloc&) {
    throw KelvakError("Out of memory while forming the sound buffers");
  }
  return out;
}

}  // namespace kelvak
