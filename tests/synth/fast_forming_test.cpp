// The forming of the 46 blocks against the literal sample-by-sample forming: same bytes, same
// generator state, across the settings the window offers; reuse of the memory of an old set.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "base/error.h"
#include "reference/forming_oracle.h"
#include "synth/buffer_forming.h"
#include "synth/random.h"

namespace kelvak {
namespace {

std::string describe(const FormingSettings& s) {
  std::ostringstream out;
  out << "kind " << s.textKind << ", speed " << s.speed << ", frequency " << s.frequency
      << ", signal position " << s.signalPosition << ", noise position " << s.noisePosition;
  return out.str();
}

// Same unit, same block sizes and bytes (naming the first differing sample), same final state.
testing::AssertionResult sameBuffers(const SymbolBuffers& fast, std::uint64_t fastState,
                                     const SymbolBuffers& literal, std::uint64_t literalState) {
  if (fast.unitMs != literal.unitMs || fast.samplesPerUnit != literal.samplesPerUnit) {
    return testing::AssertionFailure()
           << "unit " << fast.unitMs << " ms / " << fast.samplesPerUnit << " samples, expected "
           << literal.unitMs << " / " << literal.samplesPerUnit;
  }
  for (int i = 0; i < kSymbolCount; ++i) {
    const auto& a = *fast.blocks[i];
    const auto& b = *literal.blocks[i];
    if (a.size() != b.size()) {
      return testing::AssertionFailure()
             << "block " << i << " has " << a.size() << " samples, expected " << b.size();
    }
    const auto diff = std::mismatch(a.begin(), a.end(), b.begin());
    if (diff.first != a.end()) {
      return testing::AssertionFailure()
             << "block " << i << " sample " << (diff.first - a.begin()) << " is "
             << int{*diff.first} << ", expected " << int{*diff.second};
    }
  }
  if (fastState != literalState) {
    return testing::AssertionFailure()
           << "generator state " << fastState << ", expected " << literalState;
  }
  return testing::AssertionSuccess();
}

// Forms with both from `start` (the fast one reusing `recycle` when given) and compares, also
// that progress reported every symbol once, in order.
testing::AssertionResult formsLikeTheLiteral(const FormingSettings& settings, std::uint64_t start,
                                             std::int32_t previousUnitMs,
                                             SymbolBuffers* recycle = nullptr) {
  Random fastRandom, literalRandom;
  fastRandom.setState(start);
  literalRandom.setState(start);
  std::vector<int> progress;
  const SymbolBuffers fast = formSymbolBuffers(
      settings, fastRandom, previousUnitMs, [&](int i) { progress.push_back(i); }, recycle);
  const SymbolBuffers literal = formSymbolBuffersLiterally(settings, literalRandom, previousUnitMs);
  std::vector<int> expected(kSymbolCount);
  for (int i = 0; i < kSymbolCount; ++i) expected[i] = i;
  if (progress != expected) return testing::AssertionFailure() << "progress out of order";
  if (recycle && recycle->formed())
    return testing::AssertionFailure() << "recycled set not emptied";
  return sameBuffers(fast, fastRandom.state(), literal, literalRandom.state());
}

struct SweepCase {
  int kind;
  int speed;
  int frequency;
  int signalPosition;
  int noisePosition;
};

void PrintTo(const SweepCase& c, std::ostream* out) {
  *out << describe(
      FormingSettings{c.speed, c.kind, c.frequency, c.signalPosition, c.noisePosition});
}

std::vector<SweepCase> sweepCases() {
  std::vector<SweepCase> cases;
  // Every combination at the fast speeds.
  for (int kind : {0, 1, 2}) {
    for (int speed : {12, 30}) {
      for (int frequency : {100, 500, 4999, 5000}) {
        for (int signal : {0, 63, 127}) {
          for (int noise : {0, 1, 64, 127})
            cases.push_back({kind, speed, frequency, signal, noise});
        }
      }
    }
  }
  // The long buffers of the slow speeds (speed 1 is up to 5.8 MB a set) with fewer levels: at
  // speed 5 every level with every frequency, at speed 1 every level for the letters (the longest
  // set) and two for the other kinds.
  const SweepCase levels[] = {
      {0, 0, 500, 0, 0}, {0, 0, 5000, 63, 1}, {0, 0, 100, 127, 64}, {0, 0, 4999, 0, 127}};
  for (int kind : {0, 1, 2}) {
    for (int l = 0; l < 4; ++l) {
      const SweepCase& level = levels[l];
      if (kind == 1 || l < 2) {
        cases.push_back({kind, 1, level.frequency, level.signalPosition, level.noisePosition});
      }
      for (int frequency : {100, 500, 4999, 5000}) {
        cases.push_back({kind, 5, frequency, level.signalPosition, level.noisePosition});
      }
    }
  }
  return cases;
}

class FormingSweep : public testing::TestWithParam<SweepCase> {};

TEST_P(FormingSweep, GivesTheLiteralBytesAndGeneratorState) {
  const SweepCase c = GetParam();
  const FormingSettings settings{c.speed, c.kind, c.frequency, c.signalPosition, c.noisePosition};
  SCOPED_TRACE(describe(settings));
  std::mt19937_64 pick(static_cast<std::uint64_t>(c.kind * 1000003 + c.speed * 10007 +
                                                  c.frequency * 131 + c.signalPosition * 1009 +
                                                  c.noisePosition));
  const std::uint64_t start = pick();
  // The memory of a full-noise set at a neighbouring speed is handed back: some blocks fit, some
  // are too small, and none holds zeros where the new set wants them.
  Random other;
  other.setState(pick());
  const int otherSpeed = c.speed == 30 ? 29 : c.speed + 1;
  SymbolBuffers previous =
      formSymbolBuffers(FormingSettings{otherSpeed, c.kind, 700, 0, 0}, other, 0);
  EXPECT_TRUE(formsLikeTheLiteral(settings, start, 0, &previous));
}

std::string sweepName(const testing::TestParamInfo<SweepCase>& info) {
  const SweepCase& c = info.param;
  return "kind" + std::to_string(c.kind) + "_speed" + std::to_string(c.speed) + "_f" +
         std::to_string(c.frequency) + "_signal" + std::to_string(c.signalPosition) + "_noise" +
         std::to_string(c.noisePosition);
}

INSTANTIATE_TEST_SUITE_P(Settings, FormingSweep, testing::ValuesIn(sweepCases()), sweepName);

// Settings anywhere in the window's ranges, from anywhere in the generator's sequence; now and
// then a text kind out of range, which keeps the previous unit.
TEST(FormingRandomSettings, GiveTheLiteralBytesAndGeneratorState) {
  for (std::uint64_t seed = 1; seed <= 40; ++seed) {
    std::mt19937_64 pick(seed);
    auto uniform = [&](int low, int high) {
      return std::uniform_int_distribution<int>(low, high)(pick);
    };
    FormingSettings s;
    s.textKind = uniform(0, 9) == 0 ? 3 : uniform(0, 2);
    s.speed = uniform(2, 30);
    s.frequency = uniform(100, 5000);
    s.signalPosition = uniform(0, 127);
    s.noisePosition = uniform(0, 127);
    const std::int32_t previousUnitMs = uniform(21, 200);
    const std::uint64_t start = pick();
    SCOPED_TRACE("seed " + std::to_string(seed) + ": " + describe(s) + ", previous unit " +
                 std::to_string(previousUnitMs) + " ms, generator state " + std::to_string(start));
    EXPECT_TRUE(formsLikeTheLiteral(s, start, previousUnitMs));
  }
}

std::set<const std::uint8_t*> dataOf(const SymbolBuffers& b) {
  std::set<const std::uint8_t*> out;
  for (const auto& block : b.blocks) out.insert(block->data());
  return out;
}

TEST(FormingRecycle, ReusesTheMemoryOfBlocksNobodyElseHolds) {
  Random random;
  const FormingSettings noisy{12, 0, 500, 0, 0};
  SymbolBuffers first = formSymbolBuffers(noisy, random, 0);
  const std::set<const std::uint8_t*> oldMemory = dataOf(first);
  const FormingSettings quieter{12, 0, 900, 20, 100};
  const std::uint64_t start = random.state();
  const SymbolBuffers second = formSymbolBuffers(quieter, random, 0, {}, &first);
  EXPECT_FALSE(first.formed());
  // Same sizes: every new block sits in the memory of an old one.
  EXPECT_EQ(dataOf(second), oldMemory);

  Random literalRandom;
  literalRandom.setState(start);
  const SymbolBuffers literal = formSymbolBuffersLiterally(quieter, literalRandom, 0);
  EXPECT_TRUE(sameBuffers(second, random.state(), literal, literalRandom.state()));
}

TEST(FormingRecycle, LeavesABlockStillHeldElsewhereUnchanged) {
  Random random;
  SymbolBuffers first = formSymbolBuffers(FormingSettings{12, 1, 500, 0, 0}, random, 0);
  // As the sound device does with the block it plays: the longest block, which the new set's
  // longest symbol would otherwise take, and a short one.
  const SymbolBlock playingLong = first.blocks[kLongZero];
  const SymbolBlock playingShort = first.blocks[15];
  const std::vector<std::uint8_t> longBefore = *playingLong;
  const std::vector<std::uint8_t> shortBefore = *playingShort;

  const FormingSettings next{12, 1, 2000, 10, 5};
  const std::uint64_t start = random.state();
  const SymbolBuffers second = formSymbolBuffers(next, random, 0, {}, &first);

  EXPECT_FALSE(first.formed());
  EXPECT_EQ(*playingLong, longBefore);
  EXPECT_EQ(*playingShort, shortBefore);
  const auto newMemory = dataOf(second);
  EXPECT_EQ(newMemory.count(playingLong->data()), 0u);
  EXPECT_EQ(newMemory.count(playingShort->data()), 0u);
  EXPECT_EQ(playingLong.use_count(), 1);  // the forming kept no reference of its own

  Random literalRandom;
  literalRandom.setState(start);
  const SymbolBuffers literal = formSymbolBuffersLiterally(next, literalRandom, 0);
  EXPECT_TRUE(sameBuffers(second, random.state(), literal, literalRandom.state()));
}

TEST(FormingRecycle, SpeedZeroLeavesTheOldSetAndTheGeneratorAlone) {
  Random random;
  SymbolBuffers old = formSymbolBuffers(FormingSettings{}, random, 0);
  const std::vector<std::uint8_t> before = *old.blocks[3];
  const std::uint64_t state = random.state();
  FormingSettings zero;
  zero.speed = 0;
  zero.noisePosition = 0;
  EXPECT_THROW(formSymbolBuffers(zero, random, 54, {}, &old), KelvakError);
  EXPECT_EQ(random.state(), state);
  ASSERT_TRUE(old.formed());
  EXPECT_EQ(*old.blocks[3], before);
}

// The window moves its progress bar from the report: every report must come from the caller's
// thread, in order, with the generator already where the literal forming has it after that
// symbol (so a report that throws leaves the same state behind).
TEST(FormingProgress, ReportsEachSymbolOnTheCallersThreadAfterItsDraws) {
  const FormingSettings heavy{1, 1, 500, 0, 0};  // large enough to be shared out, if ever
  Random random;
  random.setState(0x5EEDull);
  std::vector<std::uint64_t> seenStates;
  bool otherThread = false;
  const auto caller = std::this_thread::get_id();
  const SymbolBuffers b = formSymbolBuffers(heavy, random, 0, [&](int i) {
    otherThread = otherThread || std::this_thread::get_id() != caller;
    EXPECT_EQ(i, static_cast<int>(seenStates.size()));
    seenStates.push_back(random.state());
  });
  EXPECT_FALSE(otherThread);
  ASSERT_EQ(seenStates.size(), static_cast<std::size_t>(kSymbolCount));
  Random serial;
  serial.setState(0x5EEDull);
  for (int i = 0; i < kSymbolCount; ++i) {
    for (std::size_t n = b.blocks[i]->size(); n > 0; --n) serial.next();
    EXPECT_EQ(seenStates[i], serial.state()) << "after symbol " << i;
  }
}

}  // namespace
}  // namespace kelvak
