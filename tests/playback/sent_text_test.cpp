// What the transmission keeps of its text for the copy check, and the pane hidden while sending.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "playback/transmission.h"
#include "synth/symbol_table.h"
#include "tests/fakes/fakes.h"

namespace kelvak {
namespace {

class SentTextTest : public ::testing::Test {
 protected:
  testing::FakeControls controls;
  testing::FakeTimer timer;
  testing::FakeDevice device;
  Random random;
  Transmission tx{controls, timer, device, random};

  void SetUp() override { device.clock = &timer.now; }
  bool fireNext() {
    return timer.fireNext([this] { tx.tick(); });
  }
  void ticks(int n) {
    for (int i = 0; i < n; ++i) ASSERT_TRUE(fireNext());
  }
  void runToEnd() {
    for (int i = 0; i < 100000 && fireNext(); ++i) {
    }
  }
  std::string sentAsText() const {
    std::string s;
    for (std::uint8_t i : tx.lastSent().symbols) s += displayUtf8(i);
    return s;
  }
};

TEST_F(SentTextTest, KeepsTheCharactersAfterTheStartSignal) {
  controls.groupsText = "2";
  tx.play();
  runToEnd();
  EXPECT_EQ(sentAsText(), "8064826167");  // the pane shows "80648 26167 "
  EXPECT_EQ(tx.lastSent().number, 1u);
  EXPECT_FALSE(tx.lastSent().fromFile);
  EXPECT_EQ(tx.lastSent().sound.speed, 12);
  // The next Play starts a new text.
  tx.play();
  EXPECT_TRUE(tx.lastSent().symbols.empty());
  EXPECT_EQ(tx.lastSent().number, 2u);
}

TEST_F(SentTextTest, KeepsAFileTextAndItsName) {
  const auto path =
      std::filesystem::temp_directory_path() / ("kelvak_sent_" + std::to_string(getpid()) + ".txt");
  std::ofstream(path, std::ios::binary) << "ок220 3";
  tx.loadFile(path.string());
  tx.play();
  runToEnd();
  std::filesystem::remove(path);
  EXPECT_EQ(sentAsText(), "ок220");  // only whole groups of a file are sent
  EXPECT_TRUE(tx.lastSent().fromFile);
  EXPECT_EQ(tx.lastSent().filePath, path.string());
}

TEST_F(SentTextTest, AHiddenTextAppearsWhenTheTransmissionEndsExactlyAsItWouldHaveShown) {
  controls.groupsText = "3";
  tx.setTextHidden(true);
  tx.play();
  while (tx.open()) {
    ASSERT_TRUE(fireNext());
    if (tx.open()) {
      ASSERT_EQ(controls.pane, "");
    }
  }
  // The same generator run shown as it is sent.
  testing::FakeControls shownControls;
  testing::FakeTimer shownTimer;
  testing::FakeDevice shownDevice;
  shownDevice.clock = &shownTimer.now;
  Random shownRandom;
  Transmission shown{shownControls, shownTimer, shownDevice, shownRandom};
  shownControls.groupsText = "3";
  shown.play();
  while (shownTimer.fireNext([&] { shown.tick(); })) {
  }
  EXPECT_EQ(controls.pane, shownControls.pane);
  EXPECT_EQ(controls.pane.size(), 18u);
}

TEST_F(SentTextTest, AHiddenTransmissionStoppedEarlyShowsWhatWasSent) {
  tx.setTextHidden(true);
  tx.play();
  ticks(8);  // the start signal and seven characters
  EXPECT_EQ(controls.pane, "");
  tx.stopPlayback();
  EXPECT_EQ(controls.pane, "80648 26");
  EXPECT_EQ(sentAsText(), "8064826");
}

TEST_F(SentTextTest, HidingDuringATransmissionClearsThePaneAndShowingBringsItAllBack) {
  tx.play();
  ticks(4);
  EXPECT_EQ(controls.pane, "806");
  tx.setTextHidden(true);
  EXPECT_EQ(controls.pane, "");
  ticks(4);
  EXPECT_EQ(controls.pane, "");
  tx.setTextHidden(false);
  EXPECT_EQ(controls.pane, "80648 26");
  ticks(1);
  EXPECT_EQ(controls.pane, "80648 261");
  // Between transmissions the setting leaves the pane alone.
  tx.stopPlayback();
  tx.setTextHidden(true);
  EXPECT_EQ(controls.pane, "80648 261");
}

}  // namespace
}  // namespace kelvak
