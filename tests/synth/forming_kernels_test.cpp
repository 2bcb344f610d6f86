// The exact pieces of fast forming against their plain definitions: generator jumps, remainders
// without division, the guarded sine and tone, and the interleaved noise.
#include "synth/forming_kernels.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "reference/forming_oracle.h"
#include "synth/random.h"

namespace kelvak {
namespace {

// Fixed seeds keep failures reproducible; each test names its seed in the trace.
constexpr std::uint64_t kSeed = 20240611;

std::uint64_t stepped(std::uint64_t state, std::uint64_t draws) {
  Random r;
  r.setState(state);
  for (; draws > 0; --draws) r.next();
  return r.state();
}

TEST(GeneratorJump, EqualsDrawingOneByOne) {
  SCOPED_TRACE("seed " + std::to_string(kSeed));
  std::mt19937_64 pick(kSeed);
  for (std::uint64_t draws : {0ull, 1ull, 2ull, 3ull, 15ull, 16ull, 17ull, 255ull, 256ull, 1000ull,
                              123457ull, 5840220ull}) {
    const std::uint64_t start = pick();
    EXPECT_EQ(GeneratorJump::over(draws).apply(start), stepped(start, draws)) << draws << " draws";
  }
}

TEST(GeneratorJump, ChainedJumpsAddUp) {
  const std::uint64_t start = 0xDEADBEEFCAFEF00Dull;
  const GeneratorJump chained = GeneratorJump::over(1234).then(GeneratorJump::over(4321));
  EXPECT_EQ(chained.apply(start), GeneratorJump::over(5555).apply(start));
  EXPECT_EQ(chained.apply(start), stepped(start, 5555));
}

// The remainder must equal % for every 31-bit value. The product with the rounded-up reciprocal
// drifts upwards with the value, so it would fail first just below a multiple of the divisor at
// the top of the range: test those edges, the bottom, and random values.
class Remainder31Exactness : public testing::TestWithParam<std::uint32_t> {};

TEST_P(Remainder31Exactness, EqualsThePlainRemainder) {
  const std::uint32_t d = GetParam();
  const Remainder31 rem(d);
  constexpr std::uint32_t kTop = 0x7FFFFFFFu;
  auto check = [&](std::uint32_t v) { ASSERT_EQ(rem(v), v % d) << v << " % " << d; };
  for (std::uint32_t v = 0; v < 2000; ++v) check(v);
  const std::uint32_t lastMultiple = kTop / d;
  for (std::uint32_t k = lastMultiple > 3000 ? lastMultiple - 3000 : 1; k <= lastMultiple; ++k) {
    const std::uint64_t edge = std::uint64_t{k} * d;
    check(static_cast<std::uint32_t>(edge - 1));
    check(static_cast<std::uint32_t>(edge));
    if (edge + 1 <= kTop) check(static_cast<std::uint32_t>(edge + 1));
  }
  check(kTop);
  check(kTop - 1);
  std::mt19937 pick(kSeed + d);
  for (int n = 0; n < 20000; ++n) check(pick() & kTop);
}

std::vector<std::uint32_t> remainderDivisors() {
  std::vector<std::uint32_t> d;
  for (std::uint32_t n = 1; n <= 256; ++n) d.push_back(n);  // every noise range, and then some
  for (std::uint32_t n : {257u, 1000u, 65535u, 65536u, 65537u, 1048583u, 0x40000000u, 0x40000001u,
                          0x7FFFFFFEu, 0x7FFFFFFFu}) {
    d.push_back(n);
  }
  return d;
}

INSTANTIATE_TEST_SUITE_P(Divisors, Remainder31Exactness, testing::ValuesIn(remainderDivisors()),
                         [](const auto& info) { return "By" + std::to_string(info.param); });

// Every argument the forming can pass: frequencies 100..5000 Hz and indices up to the longest
// sounding stretch at speed 1 (19 units of 8930 samples).
TEST(ApproximateSine, StaysFarInsideItsErrorBoundOverTheToneArguments) {
  double worst = 0;
  for (int frequency = 100; frequency <= 5000; frequency += 37) {
    const double step = frequency * 6.28;
    for (std::int64_t j = 0; j < 19 * 8930; j += 11) {
      const double x = step * static_cast<double>(j) * kSampleStep;
      worst = std::max(worst, std::fabs(approximateSine(x) - std::sin(x)));
    }
  }
  // A few units in the last place; the guard assumes far more.
  EXPECT_LT(worst, 1e-15);
  EXPECT_LT(1e-15 * 100, kGuardedSineError);
}

TEST(ApproximateSine, CoversEveryQuadrantAndNegativeArguments) {
  const double pi = std::acos(-1.0);
  for (int k = -8; k <= 8; ++k) {
    for (double offset : {-0.78, -0.3, -1e-9, 0.0, 1e-9, 0.3, 0.78}) {
      const double x = k * pi / 2 + offset;
      EXPECT_NEAR(approximateSine(x), std::sin(x), 1e-15) << x;
    }
  }
  EXPECT_NEAR(approximateSine(-kGuardedSineLimit), std::sin(-kGuardedSineLimit), 1e-15);
  EXPECT_NEAR(approximateSine(kGuardedSineLimit), std::sin(kGuardedSineLimit), 1e-15);
}

struct ToneCase {
  int frequency;
  int amplitude;
  std::uint32_t first;
  std::uint32_t count;
};

class ToneTable : public testing::TestWithParam<ToneCase> {};

// fillTones against the literal formula over whole runs, including runs that start inside the
// table and lengths that are not whole vector chunks.
TEST_P(ToneTable, MatchesTheLiteralTone) {
  const ToneCase c = GetParam();
  std::vector<std::uint8_t> tones(c.count);
  fillTones(tones.data(), c.first, c.count, c.frequency * 6.28, c.amplitude);
  for (std::uint32_t i = 0; i < c.count; ++i) {
    const std::int64_t j = std::int64_t{c.first} + i;
    ASSERT_EQ(tones[i], static_cast<std::uint8_t>(literalTone(c.frequency, j, c.amplitude)))
        << "j " << j;
    ASSERT_EQ(guardedTone(c.frequency * 6.28, j, c.amplitude),
              literalTone(c.frequency, j, c.amplitude))
        << "j " << j;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Runs, ToneTable,
    testing::Values(ToneCase{500, 127, 0, 19 * 8930}, ToneCase{5000, 127, 0, 19 * 8930},
                    ToneCase{100, 127, 0, 1000}, ToneCase{4999, 64, 595, 2 * 595},
                    ToneCase{1234, 1, 0, 20000}, ToneCase{2500, 0, 0, 3000},
                    ToneCase{777, 127, 7, 1}, ToneCase{777, 127, 0, 255},
                    ToneCase{3001, 100, 100, 257},
                    // Out of the program's range: a negative amplitude, a negative frequency.
                    ToneCase{440, -90, 0, 5000}, ToneCase{-440, 127, 0, 5000}));

TEST(GuardedTone, SampleZeroIsExactly127AtEveryLevel) {
  // sin 0 * A + 127 lands exactly on the integer 127: the guard must not round it down.
  for (int amplitude = 0; amplitude <= 127; ++amplitude) {
    EXPECT_EQ(guardedTone(500 * 6.28, 0, amplitude), 127);
  }
  std::uint8_t tone = 0;
  fillTones(&tone, 0, 1, 500 * 6.28, 127);
  EXPECT_EQ(tone, 127);
}

TEST(GuardedTone, ArgumentsBeyondTheApproximationUseTheLibrarySine) {
  const double step = 5000 * 6.28;
  // x about 2.8e6 and 2.8e8 rad, past the reduction's range.
  for (std::int64_t j : {1000000ll, 1000001ll, 100000003ll}) {
    EXPECT_EQ(guardedTone(step, j, 127), literalTone(5000, j, 127)) << j;
  }
  std::vector<std::uint8_t> tones(300);
  fillTones(tones.data(), 1000000, 300, step, 127);
  for (std::uint32_t i = 0; i < 300; ++i) {
    EXPECT_EQ(tones[i], static_cast<std::uint8_t>(literalTone(5000, 1000000 + i, 127))) << i;
  }
}

struct NoiseCase {
  std::size_t count;
  std::int32_t range;
};

class NoiseRun : public testing::TestWithParam<NoiseCase> {};

// addNoise adds exactly the draws random(range) would give, in order and centred on zero, to what
// is there, holding each sum within 0..255, and leaves the state after the last of them.
TEST_P(NoiseRun, AddsTheSameDrawsAsRandomOneByOne) {
  const NoiseCase c = GetParam();
  SCOPED_TRACE("seed " + std::to_string(kSeed));
  std::mt19937_64 pick(kSeed + c.count * 1000 + static_cast<std::size_t>(c.range));
  const std::uint64_t start = pick();
  std::vector<std::uint8_t> base(c.count);
  for (auto& b : base) b = static_cast<std::uint8_t>(pick());

  std::vector<std::uint8_t> fast = base;
  const std::uint64_t end =
      addNoise(fast.data(), c.count, start, Remainder31(static_cast<std::uint32_t>(c.range)));

  Random serial;
  serial.setState(start);
  for (std::size_t j = 0; j < c.count; ++j) {
    const std::int64_t sum = std::int64_t{base[j]} + serial.random(c.range) - c.range / 2;
    const auto expected = static_cast<std::uint8_t>(std::clamp<std::int64_t>(sum, 0, 255));
    ASSERT_EQ(fast[j], expected) << "sample " << j;
  }
  EXPECT_EQ(end, serial.state());
}

INSTANTIATE_TEST_SUITE_P(
    Counts, NoiseRun,
    testing::Values(NoiseCase{0, 254}, NoiseCase{1, 254}, NoiseCase{15, 254}, NoiseCase{16, 2},
                    NoiseCase{17, 254}, NoiseCase{255, 128}, NoiseCase{256, 254},
                    NoiseCase{257, 254}, NoiseCase{4099, 126}, NoiseCase{100000, 254},
                    NoiseCase{100000, 2}, NoiseCase{5000, 1000}, NoiseCase{5000, 0x7FFFFFFF}),
    [](const auto& info) {
      return std::to_string(info.param.count) + "SamplesRange" + std::to_string(info.param.range);
    });

}  // namespace
}  // namespace kelvak
