// The exact arithmetic pieces behind fast buffer forming: generator jumps, division-free
// remainders, a guarded sine for the tone and the noise loop.
#pragma once

#include <cstddef>
#include <cstdint>

#include "synth/random.h"

namespace kelvak {

// The affine map s -> mul * s + add (mod 2^64) that moves the generator state on by some number of
// draws. It lets each interleaved copy of the generator in addNoise skip the others' draws.
struct GeneratorJump {
  std::uint64_t mul = 1;
  std::uint64_t add = 0;

  constexpr std::uint64_t apply(std::uint64_t state) const { return mul * state + add; }
  // This jump followed by `next`.
  constexpr GeneratorJump then(const GeneratorJump& next) const {
    return {next.mul * mul, next.mul * add + next.add};
  }
  // The jump over `draws` draws of Random::next, by squaring the one-draw map.
  static constexpr GeneratorJump over(std::uint64_t draws) {
    GeneratorJump result;
    GeneratorJump power{Random::kMultiplier, Random::kIncrement};
    for (; draws != 0; draws >>= 1) {
      if (draws & 1u) result = result.then(power);
      power = power.then(power);
    }
    return result;
  }
};

// value % divisor for every value below 2^31 with one 64-bit multiply and a shift in place of the
// division: the quotient is floor(value * magic / 2^shift) with magic = ceil(2^shift / divisor)
// and shift = 31 + ceil(log2 divisor), which is exact for all 31-bit values (the rounding excess
// of magic stays below one divisor step).
class Remainder31 {
 public:
  explicit Remainder31(std::uint32_t divisor);  // divisor 1 .. 2^31 - 1

  std::uint32_t operator()(std::uint32_t value) const {
    const auto quotient = static_cast<std::uint32_t>((value * magic_) >> shift_);
    return value - quotient * divisor_;
  }

  std::uint64_t magic() const { return magic_; }
  unsigned shift() const { return shift_; }
  std::uint32_t divisor() const { return divisor_; }

 private:
  std::uint64_t magic_;
  std::uint32_t divisor_;
  unsigned shift_;
};

// sin(x) within kGuardedSineError of the library's std::sin for |x| <= kGuardedSineLimit, from
// an argument reduction by pi/2 in three parts and Taylor polynomials on [-pi/4, pi/4].
double approximateSine(double x);
constexpr double kGuardedSineLimit = 1.0e6;  // keeps the reduction's quotient below 2^20
// A bound far above the real difference (at most 2.3e-16 over every argument the forming can
// produce, all of them measured), so that the interval around the approximation surely holds the
// library's value.
constexpr double kGuardedSineError = 0x1p-40;

// The seconds between two samples, as the tone formula multiplies them in [s].
constexpr double kSampleStep = 1.0 / 11025;

// Tone of sample j: trunc(sin(step * j * kSampleStep) * amplitude + 127.0) in double, exactly
// as std::sin gives it, with step = frequency * 6.28 [rad/s]. std::sin is called only when the
// approximation cannot tell the truncated value for sure (a value within the error bound of an
// integer, such as j = 0, or an argument beyond the approximation's range).
int guardedTone(double step, std::int64_t j, int amplitude);

// guardedTone for j = first .. first + count - 1, kept modulo 256, into out[0..count). Works on
// many indices at once; same values as guardedTone.
void fillTones(std::uint8_t* out, std::uint32_t first, std::uint32_t count, double step,
               int amplitude);

// Adds the next `count` draws of the generator, each reduced by `remainder` and centred on zero
// (less half the divisor, rounded down), to out[0..count), each sum held within 0..255; starts from
// the state `state` and returns the state after the last draw. The draws are made by several
// interleaved copies of the generator, each jumping over the others' draws, so that consecutive
// multiplications do not wait for one another.
std::uint64_t addNoise(std::uint8_t* out, std::size_t count, std::uint64_t state,
                       const Remainder31& remainder);

}  // namespace kelvak
