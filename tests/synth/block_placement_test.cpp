// The rule that places a symbol block behind the one before it.
#include "synth/block_placement.h"

#include <gtest/gtest.h>

namespace kelvak {
namespace {

// The block before: starts at 1000, tone up to 1000 + 5 * 100, four silent units up to 1900.
constexpr PlacedBlock kBefore{1000, 1500, 1900};

struct Case {
  const char* name;
  std::int64_t due;
  std::int64_t start;
};

class StartBehind : public ::testing::TestWithParam<Case> {};

TEST_P(StartBehind, StartsAtItsOwnTimeUnlessThatWouldCutTone) {
  EXPECT_EQ(blockStartBehind(kBefore, GetParam().due), GetParam().start);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StartBehind,
    ::testing::Values(Case{"AfterTheBlockBeforeEnded", 2500, 2500},
                      Case{"RightAsItEnds", 1900, 1900},
                      // Pause 0: the tick comes as the tail begins or inside it; the tail is cut.
                      Case{"WhileItsSilentTailPlays", 1700, 1700},
                      Case{"AsItsToneEnds", 1500, 1500},
                      // Tone is never cut: right behind the tone, not behind the whole block.
                      Case{"WhileItsToneSounds", 1200, 1500}, Case{"BeforeItStarted", 400, 1500}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ToneSamples, AllButTheLastFourUnits) {
  EXPECT_EQ(toneSamples(5 * 231, 231), 231);        // one dot at speed 30
  EXPECT_EQ(toneSamples(25 * 595, 595), 21 * 595);  // the long zero at speed 12
  EXPECT_EQ(toneSamples(3 * 100, 100), 300);        // shorter than a tail: all tone
  EXPECT_EQ(toneSamples(0, 231), 0);
}

}  // namespace
}  // namespace kelvak
