// The settings record read from the window's controls.
#include "playback/settings.h"

#include <gtest/gtest.h>

#include "base/error.h"
#include "tests/fakes/fakes.h"

namespace kelvak {
namespace {

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
