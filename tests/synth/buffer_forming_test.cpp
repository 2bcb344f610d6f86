// Forming the 46 symbol blocks: unit timing, block sizes, levels and generator use.
#include "synth/buffer_forming.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <numeric>

#include "base/error.h"
#include "synth/symbol_table.h"

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
                    UnitCase{2, 12, 64, 705}, UnitCase{2, 20, 38, 418}, UnitCase{2, 30, 25, 275}),
    [](const auto& info) {
      return "Kind" + std::to_string(info.param.kind) + "Speed" + std::to_string(info.param.speed);
    });

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

TEST(BufferForming, FullLevelWithoutNoiseStartsEverySymbolOnItsPhase) {
  Random random;
  const SymbolBuffers b = formSymbolBuffers(FormingSettings{}, random, 0);
  const auto& dot = *b.blocks[15];  // one unit on, four off
  const auto spu = static_cast<std::size_t>(b.samplesPerUnit);
  EXPECT_EQ(dot[0], 127);  // the phase restarts at every symbol
  EXPECT_EQ(*std::min_element(dot.begin(), dot.begin() + spu), 0);
  // 254 needs a sine of exactly 1; the samples of a 500 Hz dot peak just below it.
  EXPECT_GE(*std::max_element(dot.begin(), dot.begin() + spu), 253);
}

TEST(BufferForming, FullNoiseDrawsOncePerSample) {
  Random random;
  FormingSettings s;
  s.noisePosition = 0;
  s.speed = 30;
  const SymbolBuffers b = formSymbolBuffers(s, random, 0);
  Random replay;
  for (std::size_t n = totalBytes(b); n > 0; --n) replay.next();
  EXPECT_EQ(random.state(), replay.state());
}

// Silence sits on the zero level 0x80 with the noise spread evenly around it, and tone plus noise
// is held at 0 and 255 rather than wrapping round: no sample strays further from its noiseless
// value than the noise level, and only a sum beyond the range ever reaches 255.
struct LevelCase {
  const char* name;
  int signalPosition;
  int noisePosition;
  int silentLow, silentHigh;  // the range the silent samples fill
  bool saturates;             // tone peaks plus noise pass the top of the range
};
void PrintTo(const LevelCase& c, std::ostream* os) { *os << c.name; }

class FormingLevels : public testing::TestWithParam<LevelCase> {};

TEST_P(FormingLevels, SilenceIsCentredAndSumsSaturate) {
  const LevelCase& c = GetParam();
  FormingSettings s{30, 0, 500, c.signalPosition, c.noisePosition};
  Random random;
  const SymbolBuffers noisy = formSymbolBuffers(s, random, 0);
  s.noisePosition = 127;
  const SymbolBuffers clean = formSymbolBuffers(s, random, 0);
  const int noise = 127 - c.noisePosition;
  const auto spu = static_cast<std::size_t>(noisy.samplesPerUnit);
  int silentLow = 255, silentHigh = 0, top = 0;
  double silentSum = 0;
  std::size_t silentCount = 0;
  for (int i = 0; i < kSymbolCount; ++i) {
    const auto& a = *noisy.blocks[i];
    const auto& b = *clean.blocks[i];
    for (std::size_t j = 0; j < a.size(); ++j) {
      ASSERT_LE(std::abs(a[j] - b[j]), noise) << "symbol " << i << " sample " << j;
      top = std::max<int>(top, a[j]);
      if (!((SymbolTable[i].pattern >> (j / spu)) & 1u)) {
        ASSERT_EQ(b[j], kSilentLevel);
        silentLow = std::min<int>(silentLow, a[j]);
        silentHigh = std::max<int>(silentHigh, a[j]);
        silentSum += a[j];
        ++silentCount;
      }
    }
  }
  EXPECT_EQ(silentLow, c.silentLow);
  EXPECT_EQ(silentHigh, c.silentHigh);
  // Evenly around the zero level: random(2N) - N has the mean -1/2.
  EXPECT_NEAR(silentSum / static_cast<double>(silentCount), noise > 0 ? 127.5 : 128.0, 0.5);
  EXPECT_EQ(top == 255, c.saturates);
}

INSTANTIATE_TEST_SUITE_P(Levels, FormingLevels,
                         testing::Values(LevelCase{"FullSignalNoNoise", 0, 127, 128, 128, false},
                                         LevelCase{"FullSignalFullNoise", 0, 0, 1, 254, true},
                                         LevelCase{"NoSignalFullNoise", 127, 0, 1, 254, false},
                                         LevelCase{"HalfSignalHalfNoise", 64, 64, 65, 190, false},
                                         LevelCase{"FullSignalLittleNoise", 0, 126, 127, 128,
                                                   false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(BufferForming, SignalAtTheBottomIsAConstant127OverSilence) {
  Random random;
  FormingSettings s;
  s.signalPosition = 127;
  const SymbolBuffers b = formSymbolBuffers(s, random, 0);
  const auto& dash = *b.blocks[0];
  const auto on = static_cast<std::size_t>(3 * b.samplesPerUnit);
  EXPECT_TRUE(
      std::all_of(dash.begin(), dash.begin() + on, [](std::uint8_t v) { return v == 127; }));
  EXPECT_TRUE(
      std::all_of(dash.begin() + on, dash.end(), [](std::uint8_t v) { return v == kSilentLevel; }));
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
