// The settings record: the level sliders' percentages both ways, and the record read from the
// window's controls.
#include "playback/settings.h"

#include <gtest/gtest.h>

#include "base/error.h"
#include "tests/fakes/fakes.h"

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

TEST(SettingsFrom, ReadsEveryControlAndFailsOnAFieldWithoutAnInteger) {
  testing::FakeControls c;
  c.speedValue = 25;
  c.kind = 2;
  c.freq = 800;
  c.signal = 10;
  c.noise = 90;
  c.groupsText = "$10";
  c.charPause = " 3";
  c.groupPause = "5";
  c.randomTicked = false;
  c.longZeroChecked = true;
  c.signsChecked = true;
  const TransmissionSettings s = settingsFrom(c);
  EXPECT_EQ(s.groups, 16);
  EXPECT_EQ(s.charPause, 3);
  EXPECT_EQ(s.groupPause, 5);
  const FormingSettings f = s.forming();
  EXPECT_EQ((std::array{f.speed, f.textKind, f.frequency, f.signalPosition, f.noisePosition}),
            (std::array{25, 2, 800, 10, 90}));
  const SymbolChoice k = s.choice();
  EXPECT_FALSE(k.randomSource);
  EXPECT_EQ(k.textKind, 2);
  EXPECT_TRUE(k.longZero && k.specialSigns);

  c.charPause = "x";
  EXPECT_THROW(settingsFrom(c), KelvakError);
}

}  // namespace
}  // namespace kelvak
