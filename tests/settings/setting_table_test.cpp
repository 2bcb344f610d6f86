// The level sliders' percentages both ways.
#include "settings/setting_table.h"

#include <gtest/gtest.h>

#include "base/error.h"

namespace kelvak {
namespace {

TEST(LevelPercent, EveryPercentMapsToTheLowestPositionThatShowsIt) {
  for (int percent = 0; percent <= 100; ++percent) {
    const int position = positionForPercent(percent);
    // The label's figure in integers: floor(level * 100 / 127).
    EXPECT_EQ((127 - position) * 100 / 127, percent) << percent;
    EXPECT_EQ(levelPercent(position), percent) << percent;
    if (position < 127) {
      EXPECT_LT(levelPercent(position + 1), percent) << percent;
    }
  }
  EXPECT_EQ(positionForPercent(0), 127);  // no level at all: no generator draws for the noise
  EXPECT_EQ(positionForPercent(100), 0);
  for (int bad : {-1, 101}) EXPECT_THROW(positionForPercent(bad), KelvakError) << bad;
}

}  // namespace
}  // namespace kelvak
