// The generator's fixed sequence.
#include "synth/random.h"

#include <gtest/gtest.h>

namespace kelvak {
namespace {

TEST(Random, FirstValueAfterStartIs346) {
  Random r;
  EXPECT_EQ(r.next(), 346u);
}

TEST(Random, FirstTwelveDrawsOfTenAreTheKnownSequence) {
  Random r;
  const int expected[] = {6, 8, 0, 6, 4, 8, 2, 6, 1, 6, 7, 3};
  for (int e : expected) EXPECT_EQ(r.random(10), e);
}

TEST(Random, ZeroRangeDrawsNothing) {
  Random r;
  r.random(10);
  const auto before = r.state();
  EXPECT_EQ(r.random(0), 0);
  EXPECT_EQ(r.state(), before);
  EXPECT_EQ(r.random(10), 8);
}

TEST(Random, MultiplierIsTheSixtyFourBitConstant) {
  EXPECT_EQ(Random::kMultiplier, 0x15A00004E35ull);
  // The value is the upper 32 bits with the top bit cleared, and the state wraps modulo 2^64.
  Random r;
  r.setState(0xFFFFFFFFFFFFFFFFull);
  const std::uint64_t s = 0xFFFFFFFFFFFFFFFFull * Random::kMultiplier + 1;
  EXPECT_EQ(r.next(), static_cast<std::uint32_t>(s >> 32) & 0x7FFFFFFFu);
  EXPECT_EQ(r.state(), s);
}

TEST(Random, SameDrawsGiveTheSameResults) {
  Random a, b;
  for (int i = 0; i < 1000; ++i) ASSERT_EQ(a.random(46), b.random(46));
  for (int i = 0; i < 1000; ++i) {
    const auto v = a.next();
    ASSERT_LT(v, 0x80000000u);
    ASSERT_EQ(v, b.next());
  }
}

}  // namespace
}  // namespace kelvak
