// Forming the 46 symbol blocks: unit timing, block sizes, levels and generator use.
#include "synth/buffer_forming.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>

#include "base/error.h"

namespace kelvak {
namespace {

struct UnitCase {
  int kind;
  int speed;
  std::int32_t unitMs;
  std::int32_t samplesPerUnit;
};

class UnitTiming : public testing::TestWithParam<UnitCase> {};

TEST_P(UnitTiming, MatchesTheCalibrationTable) {
  const UnitCase c = GetParam();
  EXPECT_EQ(unitDuration(c.speed, c.kind), c.unitMs);
  EXPECT_EQ(samplesPerUnitFor(c.unitMs), c.samplesPerUnit);
}

INSTANTIATE_TEST_SUITE_P(
    Table, UnitTiming,
    testing::Values(UnitCase{0, 1, 659, 7265}, UnitCase{0, 5, 131, 1444}, UnitCase{0, 10, 65, 716},
                    UnitCase{0, 12, 54, 595}, UnitCase{0, 20, 32, 352}, UnitCase{0, 30, 21, 231},
                    UnitCase{1, 1, 810, 8930}, UnitCase{1, 5, 162, 1786}, UnitCase{1, 10, 81, 893},
                    UnitCase{1, 12, 67, 738}, UnitCase{1, 20, 40, 441}, UnitCase{1, 30, 27, 297},
                    UnitCase{2, 1, 769, 8478}, UnitCase{2, 5, 153, 1686}, UnitCase{2, 10, 76, 837},
                    UnitCase{2, 12, 64, 705}, UnitCase{2, 20, 38, 418}, UnitCase{2, 30, 25, 275}));

TEST(UnitTiming, EverySpeedAndKindIsTheFloorOfTheExactQuotient) {
  for (int kind = 0; kind < 3; ++kind) {
    for (int speed = 1; speed <= 30; ++speed) {
      const std::int32_t ms = 60000 / (speed * kUnitsPerGroup[kind]);
      EXPECT_EQ(unitDuration(speed, kind), ms);
      // trunc(ms * 0.001 * 11025) as the program computes it in floating point.
      EXPECT_EQ(samplesPerUnitFor(ms), static_cast<std::int32_t>(ms * 0.001 * 11025));
    }
  }
}

TEST(UnitTiming, UnknownKindKeepsThePreviousUnitAndSpeedZeroFails) {
  EXPECT_FALSE(unitDuration(12, 3).has_value());
  EXPECT_FALSE(unitDuration(12, -1).has_value());
  EXPECT_THROW(unitDuration(0, 0), KelvakError);
}

std::size_t totalBytes(const SymbolBuffers& b) {
  std::size_t sum = 0;
  for (const auto& block : b.blocks) sum += block->size();
  return sum;
}

TEST(BufferForming, DefaultSettingsGiveTheKnownSizesAndDrawNothing) {
  Random random;
  std::vector<int> progress;
  const SymbolBuffers b =
      formSymbolBuffers(FormingSettings{}, random, 0, [&](int i) { progress.push_back(i); });
  EXPECT_EQ(b.unitMs, 54);
  EXPECT_EQ(b.samplesPerUnit, 595);
  EXPECT_EQ(b.length(15), 2975);
  EXPECT_EQ(b.length(kLongZero), 13685);
  EXPECT_EQ(totalBytes(b), 389130u);
  EXPECT_EQ(random.state(), Random::kInitialState);
  std::vector<int> all(kSymbolCount);
  std::iota(all.begin(), all.end(), 0);
  EXPECT_EQ(progress, all);
}

TEST(BufferForming, FullLevelWithoutNoiseSpansZeroTo254AndSilenceIsZero) {
  Random random;
  FormingSettings s;
  s.signalPosition = 0;
  s.noisePosition = 127;
  const SymbolBuffers b = formSymbolBuffers(s, random, 0);
  const auto& dot = *b.blocks[15];  // one unit on, four off
  const auto spu = static_cast<std::size_t>(b.samplesPerUnit);
  EXPECT_EQ(*std::min_element(dot.begin(), dot.begin() + spu), 0);
  // 254 needs a sine of exactly 1; the samples of a 500 Hz dot peak just below it.
  EXPECT_GE(*std::max_element(dot.begin(), dot.begin() + spu), 253);
  EXPECT_EQ(dot[0], 127);  // the phase restarts at every symbol
  EXPECT_TRUE(std::all_of(dot.begin() + spu, dot.end(), [](std::uint8_t v) { return v == 0; }));
}

TEST(BufferForming, SignalAtTheBottomIsAConstant127) {
  Random random;
  FormingSettings s;
  s.signalPosition = 127;
  const SymbolBuffers b = formSymbolBuffers(s, random, 0);
  const auto& dash = *b.blocks[0];
  const auto on = static_cast<std::size_t>(3 * b.samplesPerUnit);
  EXPECT_TRUE(
      std::all_of(dash.begin(), dash.begin() + on, [](std::uint8_t v) { return v == 127; }));
  EXPECT_TRUE(std::all_of(dash.begin() + on, dash.end(), [](std::uint8_t v) { return v == 0; }));
}

TEST(BufferForming, FullNoiseDrawsOncePerSampleAndWraps) {
  Random random;
  FormingSettings s;
  s.noisePosition = 0;
  s.speed = 30;
  const SymbolBuffers b = formSymbolBuffers(s, random, 0);
  // One draw per sample: replay the same number of draws on a second generator.
  Random replay;
  for (std::size_t n = totalBytes(b); n > 0; --n) replay.next();
  EXPECT_EQ(random.state(), replay.state());
  // Silent samples are uniform over 0..253; tone sums wrap past 255 to small values.
  const auto& dot = *b.blocks[15];
  const auto spu = static_cast<std::size_t>(b.samplesPerUnit);
  EXPECT_LE(*std::max_element(dot.begin() + spu, dot.end()), 253);
  bool wrapped = false;
  for (std::size_t j = 0; j < spu; ++j) {
    if (dot[j] < 20) wrapped = true;
  }
  EXPECT_TRUE(wrapped);
}

TEST(BufferForming, SpeedZeroFailsBeforeAllocatingOrDrawing) {
  Random random;
  FormingSettings s;
  s.speed = 0;
  s.noisePosition = 0;
  int progressCalls = 0;
  try {
    formSymbolBuffers(s, random, 54, [&](int) { ++progressCalls; });
    FAIL();
  } catch (const KelvakError& e) {
    EXPECT_STREQ(e.what(), "Floating point division by zero");
  }
  EXPECT_EQ(progressCalls, 0);
  EXPECT_EQ(random.state(), Random::kInitialState);
}

TEST(BufferForming, UnknownKindUsesThePreviousUnit) {
  Random random;
  FormingSettings s;
  s.textKind = 7;
  const SymbolBuffers b = formSymbolBuffers(s, random, 21);
  EXPECT_EQ(b.unitMs, 21);
  EXPECT_EQ(b.samplesPerUnit, 231);
  EXPECT_EQ(b.length(15), 5 * 231);
}

}  // namespace
}  // namespace kelvak
