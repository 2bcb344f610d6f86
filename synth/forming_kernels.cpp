// The exact arithmetic pieces behind fast buffer forming.
#include "synth/forming_kernels.h"

#include <algorithm>
#include <bit>
#include <climits>
#include <cmath>
#include <cstdlib>

// The vector loops are built for the common x86-64 levels too, chosen when the program starts.
// Every level gives the same numbers: the loops are exact integer work and double arithmetic
// without fused multiply-adds (the library is built with contraction off). Windows programs have
// no indirect functions to choose with, and take the default loops.
#if defined(__GNUC__) && !defined(__clang__) && defined(__x86_64__) && \
    !defined(__SANITIZE_ADDRESS__) && !defined(_WIN32)
#define KELVAK_VECTOR_CLONES \
  __attribute__((target_clones("arch=x86-64-v4", "arch=x86-64-v3", "default")))
#else
#define KELVAK_VECTOR_CLONES
#endif

namespace kelvak {

Remainder31::Remainder31(std::uint32_t divisor) : divisor_(divisor) {
  // ceil(log2 divisor): 0 for 1, 1 for 2, 2 for 3 and 4, ...
  const unsigned log2Ceil =
      divisor <= 1 ? 0u : 32u - static_cast<unsigned>(std::countl_zero(divisor - 1));
  shift_ = 31 + log2Ceil;
  // magic * divisor exceeds 2^shift by less than the divisor, which is at most 2^log2Ceil; so the
  // excess adds less than 1/divisor to any quotient of a 31-bit value and never reaches the next
  // integer. magic < 2^32 + 1 and value < 2^31 keep the product within 64 bits.
  const std::uint64_t power = std::uint64_t{1} << shift_;
  magic_ = (power + divisor - 1) / divisor;
}

namespace {

// pi/2 in three parts: the first two with 33 significant bits, so that their products with any
// quotient below 2^20 are exact, and the third rounded to double.
constexpr double kHalfPi1 = 0x1.921fb544p+0;
constexpr double kHalfPi2 = 0x1.0b4611a6p-34;
constexpr double kHalfPi3 = 0x1.3198a2e037073p-69;
constexpr double kTwoOverPi = 0x1.45f306dc9c883p-1;
// Adding and subtracting 1.5 * 2^52 rounds a double below 2^51 to the nearest integer.
constexpr double kRoundingShift = 0x1.8p52;

// sin r and cos r for |r| <= pi/4 + a little: Taylor series up to r^17 and r^18, whose next terms
// (below 1e-19) are far under the rounding of the sums. The factorials up to 18! are exact in
// double, so every coefficient is the correctly rounded 1/n!.
double sinKernel(double r) {
  const double z = r * r;
  const double p =
      -1.0 / 6 +
      z * (1.0 / 120 +
           z * (-1.0 / 5040 + z * (1.0 / 362880 + z * (-1.0 / 39916800 +
                                                       z * (1.0 / 6227020800 +
                                                            z * (-1.0 / 1307674368000 +
                                                                 z * (1.0 / 355687428096000)))))));
  return r + r * z * p;
}

double cosKernel(double r) {
  const double z = r * r;
  const double p =
      1.0 / 24 +
      z * (-1.0 / 720 +
           z * (1.0 / 40320 +
                z * (-1.0 / 3628800 +
                     z * (1.0 / 479001600 +
                          z * (-1.0 / 87178291200 +
                               z * (1.0 / 20922789888000 + z * (-1.0 / 6402373705728000)))))));
  return 1.0 - 0.5 * z + z * z * p;
}

// sin x from the reduction by pi/2 and the kernel of the quadrant.
inline double reducedSine(double x) {
  const double quotient = (x * kTwoOverPi + kRoundingShift) - kRoundingShift;
  // x - quotient * kHalfPi1 is exact (both terms are close and on a common grid), the rest
  // rounds once or twice at the size of the reduced argument.
  const double r = ((x - quotient * kHalfPi1) - quotient * kHalfPi2) - quotient * kHalfPi3;
  const double sine = sinKernel(r);
  const double cosine = cosKernel(r);
  // The quadrant (quotient mod 4, also for quotient < 0) picks the kernel and the sign; picked by
  // bit masks rather than branches, which keeps the loops over many arguments on vector lanes.
  const auto quadrant = static_cast<std::uint32_t>(static_cast<std::int32_t>(quotient)) & 3u;
  const std::uint64_t useCosine = 0 - std::uint64_t{quadrant & 1u};
  const std::uint64_t bits = (std::bit_cast<std::uint64_t>(cosine) & useCosine) |
                             (std::bit_cast<std::uint64_t>(sine) & ~useCosine);
  return std::bit_cast<double>(bits ^ (std::uint64_t{quadrant & 2u} << 62));
}

// Beyond this amplitude the tone could leave the int range; such settings take the literal path.
constexpr int kGuardedAmplitudeLimit = 1 << 20;

int literalTone(double x, int amplitude) {
  return static_cast<int>(std::trunc(std::sin(x) * amplitude + 127.0));
}

// The samples handled by one call of the vector loops below [samples]: a fixed count lets the
// compiler lay the loop out on vector lanes with no remainder handling.
constexpr std::size_t kChunk = 256;

// The interval bounds of guardedTone for kChunk indices from `first`.
KELVAK_VECTOR_CLONES
void toneBoundsChunk(std::int32_t first, double step, double amplitude,
                     std::int32_t* __restrict low, std::int32_t* __restrict high) {
  for (std::size_t i = 0; i < kChunk; ++i) {
    const double x = step * static_cast<double>(first + static_cast<std::int32_t>(i)) * kSampleStep;
    const double s = reducedSine(x);
    low[i] = static_cast<std::int32_t>((s - kGuardedSineError) * amplitude + 127.0);
    high[i] = static_cast<std::int32_t>((s + kGuardedSineError) * amplitude + 127.0);
  }
}

// Copies of the generator, each kStreams draws ahead of the one before it in turn.
constexpr std::size_t kStreams = 16;
constexpr GeneratorJump kOneDraw = GeneratorJump::over(1);
constexpr GeneratorJump kLeap = GeneratorJump::over(kStreams);

inline std::uint32_t drawnValue(std::uint64_t state) {
  return static_cast<std::uint32_t>(state >> 32) & 0x7FFFFFFFu;
}

// A sample plus a centred noise value, held within the byte's range.
inline std::uint8_t saturated(std::uint8_t sample, std::uint32_t noise, std::int32_t centre) {
  const std::int32_t sum = sample + static_cast<std::int32_t>(noise) - centre;
  return static_cast<std::uint8_t>(std::clamp(sum, 0, 255));
}

// Adds kChunk centred draws to out[0..kChunk): first the values of all streams in turn, then
// their remainders, two loops the compiler can each spread over vector lanes.
KELVAK_VECTOR_CLONES
void noiseChunk(std::uint8_t* __restrict out, std::uint64_t* __restrict streams,
                std::uint64_t magic, unsigned shift, std::uint32_t divisor, std::int32_t centre) {
  alignas(64) std::uint32_t values[kChunk];
  for (std::size_t round = 0; round < kChunk / kStreams; ++round) {
    for (std::size_t t = 0; t < kStreams; ++t) {
      values[round * kStreams + t] = drawnValue(streams[t]);
      streams[t] = kLeap.apply(streams[t]);
    }
  }
  for (std::size_t i = 0; i < kChunk; ++i) {
    const std::uint32_t v = values[i];
    const auto quotient = static_cast<std::uint32_t>((v * magic) >> shift);
    out[i] = saturated(out[i], v - quotient * divisor, centre);
  }
}

}  // namespace

double approximateSine(double x) { return reducedSine(x); }

int guardedTone(double step, std::int64_t j, int amplitude) {
  const double x = step * static_cast<double>(j) * kSampleStep;
  if (std::fabs(x) <= kGuardedSineLimit && std::abs(amplitude) <= kGuardedAmplitudeLimit) {
    // The tone rises (or, for a negative amplitude, falls) monotonically with the sine in every
    // rounding step, so the library's sine, inside [s - e, s + e], gives a tone between these two.
    const double s = reducedSine(x);
    const int low = static_cast<int>((s - kGuardedSineError) * amplitude + 127.0);
    const int high = static_cast<int>((s + kGuardedSineError) * amplitude + 127.0);
    if (low == high) return low;
  }
  return literalTone(x, amplitude);
}

void fillTones(std::uint8_t* out, std::uint32_t first, std::uint32_t count, double step,
               int amplitude) {
  std::uint32_t done = 0;
  // |x| grows with j, so the last index bounds the whole run.
  const std::uint64_t end = std::uint64_t{first} + count;
  const bool vectorFits =
      count > 0 && end <= std::uint64_t{INT32_MAX} &&
      std::fabs(step * static_cast<double>(end - 1) * kSampleStep) <= kGuardedSineLimit &&
      std::abs(amplitude) <= kGuardedAmplitudeLimit;
  if (vectorFits) {
    alignas(64) std::int32_t low[kChunk];
    alignas(64) std::int32_t high[kChunk];
    for (; count - done >= kChunk; done += kChunk) {
      const std::uint32_t j0 = first + done;
      toneBoundsChunk(static_cast<std::int32_t>(j0), step, amplitude, low, high);
      for (std::size_t i = 0; i < kChunk; ++i) {
        const int tone =
            low[i] == high[i]
                ? low[i]
                : literalTone(step * static_cast<double>(j0 + i) * kSampleStep, amplitude);
        out[done + i] = static_cast<std::uint8_t>(tone);
      }
    }
  }
  for (; done < count; ++done) {
    out[done] = static_cast<std::uint8_t>(guardedTone(step, first + done, amplitude));
  }
}

std::uint64_t addNoise(std::uint8_t* out, std::size_t count, std::uint64_t state,
                       const Remainder31& remainder) {
  const std::uint64_t start = state;
  const auto centre = static_cast<std::int32_t>(remainder.divisor() / 2);
  // streams[t] is the state whose value is the draw for sample j + t.
  std::uint64_t streams[kStreams];
  for (std::size_t t = 0; t < kStreams; ++t) {
    state = kOneDraw.apply(state);
    streams[t] = state;
  }
  std::size_t j = 0;
  for (; count - j >= kChunk; j += kChunk) {
    noiseChunk(out + j, streams, remainder.magic(), remainder.shift(), remainder.divisor(), centre);
  }
  for (std::size_t t = 0; j < count; ++j, t = (t + 1) % kStreams) {
    out[j] = saturated(out[j], remainder(drawnValue(streams[t])), centre);
    streams[t] = kLeap.apply(streams[t]);
  }
  return GeneratorJump::over(count).apply(start);
}

}  // namespace kelvak
