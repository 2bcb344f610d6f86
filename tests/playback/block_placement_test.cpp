// The rule that places a symbol block behind the one before it, shared by the sound device and
// the audio export.
#include "playback/block_placement.h"

#include <gtest/gtest.h>

#include <string>

namespace kelvak {
namespace {

// The block before: starts at 1000 and holds 900 samples, tone up to 1500, then a silent tail of
// four units of 100 samples.
constexpr std::int64_t kStart = 1000, kLength = 900, kTail = 400;

struct Case {
  const char* name;
  std::int64_t due;
  std::int64_t start;
};

class StartBehind : public ::testing::TestWithParam<Case> {};

TEST_P(StartBehind, StartsAtItsOwnTimeUnlessThatWouldCutTone) {
  EXPECT_EQ(blockStart(GetParam().due, kStart, kLength, kTail), GetParam().start);
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

}  // namespace
}  // namespace kelvak
