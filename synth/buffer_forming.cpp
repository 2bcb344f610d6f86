// Symbol block synthesis.
//
// Every sample is the tone of its index within the symbol (when its unit is on) or the silent
// level, plus one noise draw centred on zero, held within 0..255; so the forming works in three
// steps that give the same bytes as the sample-by-sample formula: a tone table for every sample
// index a symbol can sound at (the phase starts again in every symbol, so the tone depends only on
// the index), then each block copied together from tone runs and silence, unit by unit, then the
// noise added over the whole block. All on the calling
// thread: a second thread was measured to gain under a tenth on two idle cores and to double the
// time when the other core is busy.
#include "synth/buffer_forming.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cmath>
#include <cstring>
#include <new>
#include <stdexcept>

#include "base/error.h"
#include "synth/forming_kernels.h"

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

namespace {

using MutableBlock = std::shared_ptr<std::vector<std::uint8_t>>;

// The units (bits) of a symbol's pattern that sound, limited to its length.
std::uint32_t soundingUnits(const Symbol& sym) {
  return sym.length >= 32 ? sym.pattern : sym.pattern & ((std::uint32_t{1} << sym.length) - 1);
}

// Blocks for the new set, reusing the memory of the old blocks that no one else holds (a block the
// sound device still plays has another owner and is left alone). Each symbol takes the smallest
// free old block that is large enough, longest symbols first; the rest are released.
std::array<MutableBlock, kSymbolCount> takeBlocks(
    const std::array<std::size_t, kSymbolCount>& lengths, SymbolBuffers* recycle) {
  std::vector<MutableBlock> spare;
  if (recycle) {
    for (SymbolBlock& old : recycle->blocks) {
      SymbolBlock held = std::move(old);
      if (held && held.use_count() == 1) {
        // The last other owner may have let go on another thread (the sound device's): order its
        // reads of the samples before our writes.
        std::atomic_thread_fence(std::memory_order_acquire);
        // Every block is made by this forming as a mutable vector and only shared as const.
        spare.push_back(std::const_pointer_cast<std::vector<std::uint8_t>>(std::move(held)));
      }
    }
    recycle->release();
  }
  std::sort(spare.begin(), spare.end(), [](const MutableBlock& a, const MutableBlock& b) {
    return a->capacity() < b->capacity();
  });

  std::array<int, kSymbolCount> order;
  for (int i = 0; i < kSymbolCount; ++i) order[i] = i;
  std::sort(order.begin(), order.end(), [&](int a, int b) { return lengths[a] > lengths[b]; });

  std::array<MutableBlock, kSymbolCount> blocks;
  for (int i : order) {
    const std::size_t len = lengths[i];
    auto fit =
        std::lower_bound(spare.begin(), spare.end(), len,
                         [](const MutableBlock& b, std::size_t n) { return b->capacity() < n; });
    if (fit != spare.end()) {
      blocks[i] = std::move(*fit);
      spare.erase(fit);
      blocks[i]->resize(len);  // within its capacity: no new memory
    } else {
      blocks[i] = std::make_shared<std::vector<std::uint8_t>>(len);
    }
  }
  return blocks;
}

}  // namespace

SymbolBuffers formSymbolBuffers(const FormingSettings& settings, Random& random,
                                std::int32_t previousUnitMs, const FormingProgress& progress,
                                SymbolBuffers* recycle) {
  SymbolBuffers out;
  out.unitMs = unitDuration(settings.speed, settings.textKind).value_or(previousUnitMs);
  out.samplesPerUnit = samplesPerUnitFor(out.unitMs);

  const int amplitude = 127 - settings.signalPosition;
  const std::int32_t noiseRange = 2 * (127 - settings.noisePosition);
  const double step = settings.frequency * 6.28;  // [rad/s] as the tone formula writes it
  const std::size_t spu = out.samplesPerUnit > 0 ? static_cast<std::size_t>(out.samplesPerUnit) : 0;

  std::array<std::size_t, kSymbolCount> lengths;
  std::uint32_t soundingAnywhere = 0;
  for (int i = 0; i < kSymbolCount; ++i) {
    lengths[i] = spu * SymbolTable[i].length;
    soundingAnywhere |= soundingUnits(SymbolTable[i]);
  }

  std::array<MutableBlock, kSymbolCount> blocks;
  std::vector<std::uint8_t> tones;
  try {
    blocks = takeBlocks(lengths, recycle);
    tones.resize(spu * static_cast<std::size_t>(std::bit_width(soundingAnywhere)));
  } catch (const std::bad_alloc&) {
    throw KelvakError("Out of memory while forming the sound buffers");
  } catch (const std::length_error&) {
    throw KelvakError("Out of memory while forming the sound buffers");
  }

  // Tone of every sample index (127 - A .. 127 + A, within a byte for the sliders' levels); only
  // for units that sound in some symbol.
  for (std::size_t unit = 0; spu > 0 && unit < 32;) {
    if (!((soundingAnywhere >> unit) & 1u)) {
      ++unit;
      continue;
    }
    std::size_t end = unit + 1;  // one call for a whole run of sounding units
    while (end < 32 && ((soundingAnywhere >> end) & 1u)) ++end;
    fillTones(tones.data() + unit * spu, static_cast<std::uint32_t>(unit * spu),
              static_cast<std::uint32_t>((end - unit) * spu), step, amplitude);
    unit = end;
  }

  std::optional<Remainder31> remainder;
  if (noiseRange > 0) remainder.emplace(static_cast<std::uint32_t>(noiseRange));
  for (int i = 0; i < kSymbolCount; ++i) {
    std::uint8_t* data = blocks[i]->data();
    std::uint32_t pattern = SymbolTable[i].pattern;
    for (std::size_t unit = 0; spu > 0 && unit < SymbolTable[i].length; ++unit, pattern >>= 1) {
      if (pattern & 1u) {
        std::memcpy(data + unit * spu, tones.data() + unit * spu, spu);
      } else {
        std::memset(data + unit * spu, kSilentLevel, spu);
      }
    }
    // One draw per sample, in sample order; none at noise level 0.
    if (remainder) random.setState(addNoise(data, lengths[i], random.state(), *remainder));
    out.blocks[i] = std::move(blocks[i]);
    if (progress) progress(i);
  }
  return out;
}

}  // namespace kelvak
