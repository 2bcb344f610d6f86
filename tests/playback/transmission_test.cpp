// The transmission driven through fake controls, a manual-clock timer and a recording device.
#include "playback/transmission.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "base/error.h"
#include "playback/block_placement.h"
#include "synth/symbol_table.h"
#include "tests/fakes/fakes.h"
#include "text/utf8.h"

namespace kelvak {
namespace {

using testing::FakeControls;
using testing::FakeDevice;
using testing::FakeTimer;

class TransmissionTest : public ::testing::Test {
 protected:
  FakeControls controls;
  FakeTimer timer;
  FakeDevice device;
  Random random;
  Transmission tx{controls, timer, device, random};
  std::vector<int> sent;                 // indices written, in order
  std::vector<std::int64_t> writeTimes;  // [ms]

  void SetUp() override { device.clock = &timer.now; }

  // One tick, noting which symbol of the set in use was written.
  void tick() {
    const auto set = tx.buffers().blocks;
    const std::size_t before = device.writes.size();
    tx.tick();
    if (device.writes.size() > before) {
      const auto& w = device.writes.back();
      const auto it = std::find(set.begin(), set.end(), w.block);
      sent.push_back(it == set.end() ? -1 : static_cast<int>(it - set.begin()));
      writeTimes.push_back(w.at);
    }
  }
  bool fireNext() {
    return timer.fireNext([this] { tick(); });
  }
  void runToEnd(int limit = 100000) {
    for (int i = 0; i < limit && fireNext(); ++i) {
    }
  }
  void expectIdle() {
    EXPECT_TRUE(controls.playEnabled);
    EXPECT_FALSE(controls.stopEnabled);
    EXPECT_FALSE(controls.pauseEnabled);
    EXPECT_TRUE(controls.groupCountEnabled);
    EXPECT_FALSE(timer.enabled());
    EXPECT_FALSE(device.isOpen());
    EXPECT_FALSE(tx.buffers().formed());
  }
  std::string writeFile(const std::string& bytes) {
    // Tests run as separate processes side by side: the name holds the process and a count.
    static int made = 0;
    const auto path = std::filesystem::temp_directory_path() /
                      ("kelvak_tx_" + std::to_string(getpid()) + "_" + std::to_string(++made));
    std::ofstream(path, std::ios::binary) << bytes;
    files.push_back(path);
    return path.string();
  }
  void TearDown() override {
    for (const auto& f : files) std::filesystem::remove(f);
  }
  std::vector<std::filesystem::path> files;
};

TEST_F(TransmissionTest, FirstDigitTransmissionAfterStartUp) {
  controls.groupsText = "2";
  tx.play();
  EXPECT_FALSE(controls.playEnabled);
  EXPECT_TRUE(controls.stopEnabled);
  EXPECT_TRUE(controls.pauseEnabled);
  EXPECT_FALSE(controls.groupCountEnabled);
  EXPECT_EQ(controls.status, kPlayingStatus);
  EXPECT_EQ(controls.progressMax, 11);
  runToEnd();
  EXPECT_EQ(sent, (std::vector<int>{41, 8, 0, 6, 4, 8, 2, 6, 1, 6, 7}));
  EXPECT_EQ(controls.pane, "80648 26167 ");
  EXPECT_EQ(tx.symbolCounter(), 11);
  EXPECT_EQ(controls.progressPos, 11);
  EXPECT_EQ(device.waits, 1);
  EXPECT_EQ(device.closes, 1);
  expectIdle();
  // The pause button was never pressed, and the status says the transmission ended.
  EXPECT_FALSE(controls.pauseDown);
  EXPECT_EQ(controls.status, kEndedStatus);
}

TEST_F(TransmissionTest, ThirtyGroupsRunToTheEndAndLetGoOfEveryBlock) {
  tx.play();  // the default 30 groups
  std::vector<std::weak_ptr<const std::vector<std::uint8_t>>> set(tx.buffers().blocks.begin(),
                                                                  tx.buffers().blocks.end());
  runToEnd();
  EXPECT_EQ(tx.symbolCounter(), 151);
  EXPECT_EQ(controls.pane.size(), 180u);
  EXPECT_EQ(controls.progressPos, 151);
  expectIdle();
  device.writes.clear();
  for (const auto& block : set) EXPECT_TRUE(block.expired());
}

TEST_F(TransmissionTest, TicksFollowLengthPlusPauseInUnits) {
  controls.groupsText = "2";
  tx.play();
  runToEnd();
  // First tick one default interval after Play; then (P + L) * 54 ms.
  const std::vector<std::int64_t> gaps = {1350, 1026, 378, 810, 810, 1458, 1026, 810, 1134, 810};
  ASSERT_EQ(writeTimes.size(), gaps.size() + 1);
  EXPECT_EQ(writeTimes[0], 1000);
  for (std::size_t k = 0; k < gaps.size(); ++k) {
    EXPECT_EQ(writeTimes[k + 1] - writeTimes[k], gaps[k]) << k;
  }
  // The last interval set stays in the timer for the next transmission.
  EXPECT_EQ(timer.interval(), 1350u);
}

// The device learns which part of each block is tone (all but the four silent units at its end,
// which the next block may cut) and its place: the tick's time in samples from Play.
TEST_F(TransmissionTest, EachBlockGoesOutWithItsToneLengthAndItsPlace) {
  controls.groupsText = "2";
  controls.speedValue = 30;
  tx.play();
  runToEnd();
  ASSERT_EQ(device.writes.size(), 11u);
  for (std::size_t k = 0; k < sent.size(); ++k) {
    const auto& w = device.writes[k];
    EXPECT_EQ(w.toneSamples, (SymbolTable[sent[k]].length - 4) * 231u) << k;
    EXPECT_EQ(w.position, msToSamples(w.at, kSampleRate)) << k;
  }
}

// The pane and the progress follow the sound: a character appears once the device hears its
// block begin, not when its tick hands it over; a hidden text shown again brings no more.
TEST_F(TransmissionTest, ACharacterAppearsOnlyOnceItsBlockSounds) {
  controls.groupsText = "1";
  device.heard = -1'000'000;  // nothing heard yet
  tx.play();
  for (int k = 0; k < 3; ++k) fireNext();  // the start signal and two characters handed over
  ASSERT_EQ(device.writes.size(), 3u);
  EXPECT_EQ(controls.pane, "");
  EXPECT_EQ(controls.progressPos, 0);
  device.heard = device.writes[1].position - 1;  // the start signal sounds, the "8" not yet
  EXPECT_EQ(tx.followSound(), 1);                // [ms] until it does, rounded up
  EXPECT_EQ(controls.pane, "");
  EXPECT_EQ(controls.progressPos, 1);
  device.heard = device.writes[1].position;
  tx.followSound();
  EXPECT_EQ(controls.pane, "8");
  EXPECT_EQ(controls.progressPos, 2);
  tx.setTextHidden(true);
  tx.setTextHidden(false);
  EXPECT_EQ(controls.pane, "8");
  device.heard = device.writes[2].position + 100000;
  EXPECT_EQ(tx.followSound(), -1);  // nothing written waits
  EXPECT_EQ(controls.pane, "80");
  // The end of the transmission has heard everything.
  runToEnd();
  EXPECT_EQ(controls.pane, "80648 ");
  EXPECT_EQ(controls.progressPos, 6);
}

// A tick that runs late (the window was busy) shows what has begun to sound by the time it runs,
// and the wait it asks for ends when the next block begins to sound, not one lateness after that.
TEST_F(TransmissionTest, ALateTickFollowsTheSoundByTheClockNotByItsBeat) {
  controls.groupsText = "2";
  controls.speedValue = 30;
  device.lead = msToSamples(200, kSampleRate);
  timer.lateMs = 45;
  tx.play();
  int checked = 0;
  while (timer.fireNext([&] {
    tick();
    if (!device.isOpen()) return;
    const int wait = tx.followSound();  // as the window does after each tick
    const std::int64_t heard = device.heardAt(timer.currentMoment());
    const auto sounding = std::count_if(device.writes.begin(), device.writes.end(),
                                        [&](const auto& w) { return w.position <= heard; });
    EXPECT_EQ(controls.progressPos, sounding) << "at " << timer.now;
    const auto next = std::find_if(device.writes.begin(), device.writes.end(),
                                   [&](const auto& w) { return w.position > heard; });
    if (next == device.writes.end()) {
      EXPECT_EQ(wait, -1);
      return;
    }
    const std::int64_t ms = (next->position - heard) * 1000 / kSampleRate;
    EXPECT_GE(wait, std::min<std::int64_t>(ms, Transmission::kFollowSoundMaxMs)) << timer.now;
    EXPECT_LE(wait, std::min<std::int64_t>(ms + 1, Transmission::kFollowSoundMaxMs)) << timer.now;
    ++checked;
  })) {
  }
  EXPECT_GT(checked, 5);
}

// A device with a lead hands the timer's next interval a correction: the ticks keep one lead
// ahead of the sound by the stream's clock however that drifts, while the places stay put.
TEST_F(TransmissionTest, TheTimerIsSteeredToKeepTheTicksOneLeadAhead) {
  controls.groupsText = "1";
  device.lead = 3308;
  tx.play();
  struct Row {
    std::int64_t soundAheadMs;  // how far the sound is ahead of the steady clock at the tick
    std::int64_t shorterMs;     // how much shorter the next interval comes
  };
  const std::vector<Row> rows = {{0, 0}, {5, 5}, {-5, -5}, {-300, -20}, {10000, 0}, {7, 7}};
  std::int64_t lastNominal = 0, tickMs = 1000;  // the schedule's running time
  std::vector<std::int64_t> places;
  for (std::size_t k = 0; k < rows.size(); ++k) {
    SCOPED_TRACE(k);
    places.push_back(msToSamples(tickMs, kSampleRate));
    device.heard = places.back() - device.lead + rows[k].soundAheadMs * kSampleRate / 1000;
    ASSERT_TRUE(fireNext());
    const std::int64_t pause = k % 5 == 0 ? 8 : 0;  // the group pause after a group
    lastNominal = (pause + SymbolTable[sent.back()].length) * 54;
    tickMs += lastNominal;
    // Ticks far behind the sound: the next comes at most half an interval sooner.
    const std::int64_t shorter = rows[k].soundAheadMs > 1000 ? lastNominal / 2 : rows[k].shorterMs;
    if (tx.open()) {
      EXPECT_EQ(std::int64_t{timer.interval()}, lastNominal - shorter);
    }
  }
  // Where each block sounds does not follow the steering.
  ASSERT_EQ(device.writes.size(), places.size());
  for (std::size_t k = 0; k < places.size(); ++k) EXPECT_EQ(device.writes[k].position, places[k]);
  // The interval left for the next transmission is the one the last tick set.
  EXPECT_FALSE(tx.open());
  EXPECT_EQ(std::int64_t{timer.interval()}, lastNominal);
}

TEST_F(TransmissionTest, WorkedExampleIntervals) {
  tx.loadFile(writeFile("55551"));
  tx.play();
  runToEnd();
  EXPECT_EQ(sent, (std::vector<int>{41, 5, 5, 5, 5, 1}));
  const std::vector<std::int64_t> expected = {1000, 2350, 3052, 3754, 4456, 5158};
  EXPECT_EQ(writeTimes, expected);
  EXPECT_EQ(timer.interval(), 1566u);
  EXPECT_EQ(controls.pane, "55551 ");
}

TEST_F(TransmissionTest, PauseFieldsLengthenTheGaps) {
  controls.charPause = "3";   // 4 * 3 - 4 = 8 extra units inside a group
  controls.groupPause = "5";  // 20 units after the start signal and after a group
  tx.loadFile(writeFile("55551"));
  tx.play();
  runToEnd();
  EXPECT_EQ(writeTimes[1] - writeTimes[0], (20 + 17) * 54);
  EXPECT_EQ(writeTimes[2] - writeTimes[1], (8 + 13) * 54);
  EXPECT_EQ(timer.interval(), static_cast<std::uint32_t>((20 + 21) * 54));
}

TEST_F(TransmissionTest, LettersAndMixtureAfterStartUp) {
  controls.groupsText = "2";
  controls.kind = 1;
  tx.play();
  runToEnd();
  EXPECT_EQ(controls.pane, "сожфб няшкэ ");
}

TEST_F(TransmissionTest, MixtureWithSignsSendsTheLongZeroForEveryZero) {
  controls.groupsText = "1";
  controls.kind = 2;
  controls.signsChecked = true;
  tx.play();
  runToEnd();
  EXPECT_EQ(sent, (std::vector<int>{41, 45, 38, 22, 10, 45}));
  EXPECT_EQ(controls.pane, "0юма0 ");
}

TEST_F(TransmissionTest, LongZeroOptionWithDigits) {
  controls.groupsText = "1";
  controls.longZeroChecked = true;
  tx.play();
  runToEnd();
  EXPECT_EQ(sent, (std::vector<int>{41, 8, 45, 6, 4, 8}));
  EXPECT_EQ(controls.pane, "80648 ");
}

TEST_F(TransmissionTest, SecondTransmissionContinuesTheSequenceAndStartsAfterTheLastInterval) {
  controls.groupsText = "1";
  tx.play();
  runToEnd();
  const std::int64_t end = timer.now;
  tx.play();
  EXPECT_EQ(controls.pane, "");
  runToEnd();
  // The start signal's draw (2) is discarded again.
  EXPECT_EQ(controls.pane, "61673 ");
  // The start signal of the second run comes after the interval the first run set last.
  EXPECT_EQ(writeTimes[6] - end, (8 + 19) * 54);
}

class FileTextTransmission : public TransmissionTest,
                             public ::testing::WithParamInterface<std::string> {};

TEST_P(FileTextTransmission, SendsTheWholeGroupsOfTheFile) {
  tx.loadFile(writeFile(GetParam()));
  EXPECT_FALSE(controls.randomTicked);
  EXPECT_FALSE(controls.textKindEnabled);
  EXPECT_EQ(controls.groupCountMax, 2);
  EXPECT_EQ(controls.groupsText, "2");
  tx.play();
  runToEnd();
  EXPECT_EQ(sent, (std::vector<int>{41, 28, 24, 20, 2, 2, 0, 43, 3, 8, 0}));
  EXPECT_EQ(controls.pane, "ток22 0/380 ");
  EXPECT_EQ(random.state(), Random::kInitialState);

  controls.longZeroChecked = true;
  sent.clear();
  tx.play();
  runToEnd();
  EXPECT_EQ(sent, (std::vector<int>{41, 28, 24, 20, 2, 2, 45, 43, 3, 8, 45}));
  EXPECT_EQ(controls.pane, "ток22 0/380 ");
}

INSTANTIATE_TEST_SUITE_P(Encodings, FileTextTransmission,
                         ::testing::Values(std::string("\xD2\xEE\xEA 220/380 \xC2"),
                                           std::string("Ток 220/380 В")),
                         [](const auto& info) {
                           return std::string(isValidUtf8(info.param) ? "Utf8" : "Windows1251");
                         });

TEST_F(TransmissionTest, TextSourceStatesAndGroupCountRange) {
  std::string text;
  for (int i = 0; i < 23; ++i) text += "\xE0";
  tx.loadFile(writeFile(text));
  EXPECT_EQ(controls.groupCountMax, 4);
  EXPECT_EQ(controls.groupCount, 4);
  tx.useRandomText();
  EXPECT_TRUE(controls.randomTicked);
  EXPECT_TRUE(controls.textKindEnabled);
  EXPECT_EQ(controls.groupCountMax, 999);
  EXPECT_EQ(controls.groupCount, 4);
  EXPECT_EQ(tx.fileText().count(), 23);  // kept, though no longer read
  // A missing file is read as an empty text.
  tx.loadFile("/nonexistent/kelvak/file.txt");
  EXPECT_EQ(tx.fileText().count(), 0);
  EXPECT_EQ(controls.groupCountMax, 0);
  EXPECT_EQ(controls.groupsText, "0");
  EXPECT_FALSE(controls.randomTicked);
}

TEST_F(TransmissionTest, GroupCountZeroSendsOnlyTheStartSignal) {
  controls.groupsText = "0";
  tx.play();
  runToEnd();
  EXPECT_EQ(sent, (std::vector<int>{41}));
  EXPECT_EQ(controls.pane, "");
  EXPECT_EQ(controls.progressMax, 1);
  EXPECT_EQ(controls.progressPos, 1);
  expectIdle();
}

TEST_F(TransmissionTest, EmptyFileSendsOnlyTheStartSignal) {
  tx.loadFile(writeFile("\r\n  ABC"));
  tx.play();
  runToEnd();
  EXPECT_EQ(sent, (std::vector<int>{41}));
  expectIdle();
}

TEST_F(TransmissionTest, TypedGroupCountBeyondTheFileEndsAtTheEndOfTheText) {
  tx.loadFile(
      writeFile("\xEE\xEA"
                "2203"));  // six symbols, one whole group
  controls.groupsText = "5";
  tx.play();
  runToEnd();
  EXPECT_EQ(sent, (std::vector<int>{41, 24, 20, 2, 2, 0, 3}));
  EXPECT_EQ(controls.pane, "ок220 3");
  expectIdle();
}

TEST_F(TransmissionTest, SwitchingToAShortFileMidTransmissionNeverReadsPastIt) {
  controls.groupsText = "5";
  tx.play();
  for (int i = 0; i < 8; ++i) fireNext();
  tx.loadFile(writeFile("12345"));  // five symbols, but eight have been sent already
  fireNext();
  EXPECT_EQ(sent.size(), 8u);
  expectIdle();
}

TEST_F(TransmissionTest, StopBeforeTheFirstTick) {
  tx.play();
  tx.stopPlayback();
  EXPECT_EQ(controls.status, kEndedStatus);  // the playing prompt no longer holds
  EXPECT_TRUE(device.writes.empty());
  EXPECT_EQ(controls.pane, "");
  EXPECT_EQ(device.closes, 1);
  expectIdle();
  EXPECT_FALSE(fireNext());
}

TEST_F(TransmissionTest, StopWhilePausedLeavesThePauseButtonDown) {
  tx.play();
  fireNext();
  fireNext();
  tx.pause();
  EXPECT_TRUE(controls.pauseDown);
  EXPECT_FALSE(timer.enabled());
  tx.stopPlayback();
  expectIdle();
  EXPECT_TRUE(controls.pauseDown);
  // The next transmission runs with the button drawn down; the first press pauses it.
  tx.play();
  EXPECT_TRUE(timer.enabled());
  controls.pauseDown = false;  // the button toggles itself on the click
  tx.pause();
  EXPECT_FALSE(timer.enabled());
  EXPECT_TRUE(controls.pauseDown);
}

TEST_F(TransmissionTest, ResumeFormsAgainOnlyWhenASliderMoved) {
  tx.play();
  fireNext();
  const auto firstSet = tx.buffers().blocks[0];
  tx.pause();
  timer.now += 5000;
  tx.pause();  // nothing moved: no forming, the next tick a full interval after the resume
  EXPECT_EQ(tx.buffers().blocks[0], firstSet);
  EXPECT_EQ(controls.formingsShown, 1);
  EXPECT_EQ(timer.due, timer.now + 1350);

  tx.pause();
  controls.freq = 800;
  tx.soundSettingChanged(SoundSetting::Frequency);  // paused: only the flag
  EXPECT_TRUE(tx.buffersStale());
  EXPECT_EQ(controls.formingsShown, 1);
  tx.pause();
  EXPECT_EQ(controls.formingsShown, 2);
  EXPECT_NE(tx.buffers().blocks[0], firstSet);
  EXPECT_FALSE(tx.buffersStale());
  EXPECT_TRUE(timer.enabled());
  EXPECT_FALSE(controls.pauseDown);
}

TEST_F(TransmissionTest, ChangeDuringPlaybackKeepsTheFlagSetForTheNextResume) {
  tx.play();
  fireNext();
  controls.signal = 60;
  tx.soundSettingChanged(SoundSetting::Signal);
  EXPECT_EQ(controls.formingsShown, 2);
  EXPECT_TRUE(tx.buffersStale());
  tx.pause();
  tx.pause();
  EXPECT_EQ(controls.formingsShown, 3);
}

TEST_F(TransmissionTest, SpeedChangeRestartsTheCountdownAndFrequencyKeepsIt) {
  controls.groupsText = "3";
  tx.play();
  fireNext();
  timer.now += 500;
  const std::int64_t dueBefore = timer.due;
  controls.freq = 1000;
  tx.soundSettingChanged(SoundSetting::Frequency);
  EXPECT_EQ(timer.due, dueBefore);
  EXPECT_EQ(tx.unitMs(), 54);

  controls.speedValue = 30;
  tx.soundSettingChanged(SoundSetting::Speed);
  EXPECT_EQ(tx.unitMs(), 21);
  EXPECT_EQ(timer.due, timer.now + 1350);  // one full interval after the forming
  EXPECT_TRUE(tx.buffersStale());
  EXPECT_EQ(controls.status, kPlayingStatus);
  EXPECT_EQ(controls.progressMax, 16);
  EXPECT_EQ(controls.progressPos, 1);
  fireNext();
  EXPECT_EQ(tx.buffers().samplesPerUnit, 231);
  EXPECT_EQ(static_cast<int>(device.writes.back().block->size()), 231 * 19);  // the "8"
}

TEST_F(TransmissionTest, SliderMovedWhileIdleOnlySetsTheFlag) {
  tx.soundSettingChanged(SoundSetting::Noise);
  EXPECT_TRUE(tx.buffersStale());
  EXPECT_EQ(controls.formingsShown, 0);
  EXPECT_FALSE(tx.buffers().formed());
}

TEST_F(TransmissionTest, BlockInFlightOutlivesAReForming) {
  tx.play();
  fireNext();
  std::weak_ptr<const std::vector<std::uint8_t>> inFlight = device.playing.back();
  const auto copy = *device.playing.back();
  controls.noise = 0;
  tx.soundSettingChanged(SoundSetting::Noise);
  controls.noise = 10;
  tx.soundSettingChanged(SoundSetting::Noise);  // reuses the memory of sets nobody holds
  ASSERT_FALSE(inFlight.expired());
  EXPECT_EQ(*inFlight.lock(), copy);
  device.finish();
  device.writes.clear();
  EXPECT_TRUE(inFlight.expired());  // nothing of the engine still holds it
}

TEST_F(TransmissionTest, SpeedZeroDuringPlaybackKeepsTheOldSoundPlaying) {
  controls.groupsText = "1";
  tx.play();
  fireNext();
  const auto set = tx.buffers().blocks;
  const std::int64_t due = timer.due;
  controls.speedValue = 0;
  try {
    tx.soundSettingChanged(SoundSetting::Speed);
    FAIL();
  } catch (const KelvakError& e) {
    EXPECT_STREQ(e.what(), "Floating point division by zero");
  }
  EXPECT_TRUE(timer.enabled());
  EXPECT_EQ(timer.due, due);
  EXPECT_EQ(tx.buffers().blocks, set);
  EXPECT_EQ(tx.unitMs(), 54);
  EXPECT_FALSE(tx.buffersStale());
  EXPECT_EQ(controls.status, kPlayingStatus);
  runToEnd();
  EXPECT_EQ(controls.pane, "80648 ");
  expectIdle();
}

TEST_F(TransmissionTest, SpeedZeroWhenResumingStaysPaused) {
  tx.play();
  fireNext();
  tx.pause();
  controls.speedValue = 0;
  tx.soundSettingChanged(SoundSetting::Speed);
  controls.pauseDown = false;  // the click toggled the button
  EXPECT_THROW(tx.pause(), KelvakError);
  EXPECT_FALSE(timer.enabled());
  EXPECT_TRUE(controls.pauseDown);
  EXPECT_TRUE(tx.buffers().formed());
  controls.speedValue = 12;
  tx.pause();
  EXPECT_TRUE(timer.enabled());
  fireNext();
  EXPECT_EQ(sent.size(), 2u);
}

TEST_F(TransmissionTest, SpeedZeroAtPlayLeavesTheWindowAsItWasReadyToPlay) {
  controls.groupsText = "1";
  tx.play();
  runToEnd();
  const std::string pane = controls.pane, status = controls.status;
  EXPECT_EQ(status, kEndedStatus);
  const std::uint64_t generator = random.state();
  controls.speedValue = 0;
  try {
    tx.play();
    FAIL();
  } catch (const KelvakError& e) {
    EXPECT_STREQ(e.what(), "Floating point division by zero");
  }
  expectIdle();
  EXPECT_EQ(controls.pane, pane);
  EXPECT_EQ(controls.status, status);
  EXPECT_EQ(random.state(), generator);
  EXPECT_FALSE(device.isOpen());
  EXPECT_EQ(device.opens, 1);
  // Raised again, the speed plays at once.
  controls.speedValue = 12;
  sent.clear();
  tx.play();
  runToEnd();
  EXPECT_EQ(sent.size(), 6u);
  expectIdle();
}

TEST_F(TransmissionTest, GroupCountThatIsNotANumberFailsPlayAfterForming) {
  controls.groupsText = "abc";
  try {
    tx.play();
    FAIL();
  } catch (const KelvakError& e) {
    EXPECT_STREQ(e.what(), "'abc' is not a valid integer value");
  }
  EXPECT_TRUE(tx.buffers().formed());
  EXPECT_EQ(controls.progressMax, 46);
  EXPECT_FALSE(device.isOpen());
  EXPECT_FALSE(timer.enabled());
  EXPECT_FALSE(controls.playEnabled);
  tx.stopPlayback();
  expectIdle();
}

TEST_F(TransmissionTest, OpenFailureShowsTheMessageAndReturnsToIdle) {
  device.openSucceeds = false;
  controls.whileMessageOpen = [&] {
    EXPECT_FALSE(controls.playEnabled);  // the box is shown before the window goes idle
    EXPECT_EQ(controls.status, "");      // and the status claims no playing beside it
  };
  tx.play();
  ASSERT_EQ(controls.messages.size(), 1u);
  EXPECT_EQ(controls.messages[0].first, "Error opening waveform stream");
  EXPECT_EQ(controls.messages[0].second, "Error");
  expectIdle();
  EXPECT_EQ(controls.pane, "");
  EXPECT_EQ(device.opens, 1);
}

TEST_F(TransmissionTest, PauseFieldWithoutANumberFailsTheTickWithoutSending) {
  controls.groupsText = "1";
  tx.play();
  fireNext();
  fireNext();
  const auto state = random.state();
  const std::uint32_t interval = timer.interval();
  controls.charPause = "x";
  for (int i = 0; i < 3; ++i) {
    try {
      fireNext();
      FAIL();
    } catch (const KelvakError& e) {
      EXPECT_STREQ(e.what(), "'x' is not a valid integer value");
    }
  }
  EXPECT_EQ(sent.size(), 2u);
  EXPECT_EQ(tx.symbolCounter(), 2);
  EXPECT_EQ(random.state(), state);
  EXPECT_EQ(timer.interval(), interval);
  EXPECT_TRUE(timer.enabled());
  controls.charPause = "1";
  runToEnd();
  EXPECT_EQ(controls.pane, "80648 ");
}

TEST_F(TransmissionTest, RaisingTheGroupCountLengthensAndLoweringBelowTheCounterRunsOn) {
  controls.groupsText = "1";
  tx.play();
  fireNext();
  controls.groupsText = "2";
  runToEnd();
  EXPECT_EQ(controls.pane, "80648 26167 ");

  controls.groupsText = "3";
  tx.play();
  for (int i = 0; i < 8; ++i) fireNext();
  controls.groupsText = "1";  // 6 symbols, but 8 are sent already: no end
  for (int i = 0; i < 50; ++i) ASSERT_TRUE(fireNext());
  EXPECT_TRUE(timer.enabled());
  tx.stopPlayback();
  expectIdle();
}

TEST_F(TransmissionTest, NegativeIntervalStandsStillUntilStop) {
  tx.play();
  fireNext();
  controls.charPause = "-10";  // P = -44, far below the symbol's length
  fireNext();
  EXPECT_EQ(timer.interval(), static_cast<std::uint32_t>((-44 + 19) * 54));
  EXPECT_GT(timer.due - timer.now, std::int64_t{1} << 31);
  tx.stopPlayback();
  expectIdle();
}

TEST_F(TransmissionTest, PlayAfterATransmissionStoodStillStartsFromTheFirstInterval) {
  // A file of "т" (7 units) only, so every symbol's length is known.
  tx.loadFile(writeFile(std::string(10, '\xf2')));
  tx.play();
  fireNext();
  controls.charPause = "-4";  // P + L = -20 + 7: an interval of weeks
  fireNext();
  ASSERT_LT(static_cast<std::int32_t>(timer.interval()), 0);
  tx.stopPlayback();

  controls.charPause = "1";
  const std::int64_t pressed = timer.now;
  tx.play();
  ASSERT_TRUE(fireNext());
  EXPECT_EQ(sent.back(), kStartSignal);
  EXPECT_EQ(writeTimes.back() - pressed, 1000);
  runToEnd();
  EXPECT_EQ(controls.pane, "ттттт ттттт ");
  expectIdle();
}

TEST_F(TransmissionTest, RefusedWritesLeaveSymbolsSilentButTheTransmissionRunsOn) {
  controls.groupsText = "1";
  device.writesSucceed = false;
  tx.play();
  runToEnd();
  EXPECT_EQ(controls.pane, "80648 ");
  expectIdle();
}

// The sound server goes away three symbols in: the transmission ends at once with the device's
// message, as when the device cannot be opened, instead of running on in silence; the status tells
// no more of a transmission playing.
TEST_F(TransmissionTest, AServerThatWentAwayEndsTheTransmissionWithTheDevicesMessage) {
  controls.groupsText = "2";
  tx.play();
  for (int k = 0; k < 3; ++k) ASSERT_TRUE(fireNext());
  device.gone = true;
  fireNext();
  EXPECT_FALSE(timer.enabled());
  EXPECT_FALSE(device.isOpen());
  ASSERT_EQ(controls.messages.size(), 1u);
  EXPECT_EQ(controls.messages[0].first, kOpenErrorText);
  EXPECT_EQ(controls.status, "");
  EXPECT_EQ(controls.pane, "80");
  expectIdle();
}

TEST_F(TransmissionTest, ShutdownStopsTimerAndSoundWithoutWaiting) {
  tx.play();
  fireNext();
  tx.shutdown();
  EXPECT_FALSE(timer.enabled());
  EXPECT_FALSE(device.isOpen());
  EXPECT_EQ(device.waits, 0);
}

}  // namespace
}  // namespace kelvak

namespace kelvak {
namespace {

// The learning modes change only which symbol each tick's one draw picks: the start signal still
// comes first, the ticks draw as often as without weights, and a null weighting is no mode at all.
TEST_F(TransmissionTest, AWeightingPicksTheSymbolsOfEachTickWithTheSameDraws) {
  const auto weights = std::make_shared<const SymbolWeights>(
      std::vector<std::pair<int, std::uint32_t>>{{20, 1}, {22, 2}});
  Random plain;
  controls.groupsText = "4";
  tx.setWeighting([&](const SymbolChoice& c) {
    EXPECT_TRUE(c.randomSource);
    return weights;
  });
  tx.play();
  plain.setState(random.state());  // after the forming's draws
  runToEnd();
  ASSERT_EQ(sent.size(), 21u);
  EXPECT_EQ(sent[0], kStartSignal);
  for (std::size_t k = 1; k < sent.size(); ++k) EXPECT_TRUE(sent[k] == 20 || sent[k] == 22) << k;
  for (int k = 0; k < 21; ++k) plain.next();
  EXPECT_EQ(random.state(), plain.state());

  tx.setWeighting([](const SymbolChoice&) { return nullptr; });
  Random again;
  random = again;
  sent.clear();
  controls.groupsText = "2";
  tx.play();
  runToEnd();
  EXPECT_EQ(sent, (std::vector<int>{41, 8, 0, 6, 4, 8, 2, 6, 1, 6, 7}));
}

// A single symbol sounds at once through the same device and blocks, and ends by closing it;
// while a transmission is open none may sound.
TEST_F(TransmissionTest, SingleSymbolsSoundThroughTheSameDevice) {
  const std::int32_t toneMs = tx.soundSymbol(10);  // а: .- is 5 units of tone
  EXPECT_EQ(toneMs, 5 * tx.unitMs());
  ASSERT_EQ(device.writes.size(), 1u);
  EXPECT_EQ(device.writes[0].block, tx.buffers().blocks[10]);
  tx.soundSymbol(10);
  EXPECT_EQ(device.opens, 1);
  EXPECT_TRUE(controls.pane.empty());
  tx.endSymbols();
  EXPECT_FALSE(device.isOpen());
  EXPECT_EQ(device.waits, 1);

  // A sound server that went away is said with the device's message, as for a transmission.
  tx.soundSymbol(10);
  device.gone = true;
  try {
    tx.soundSymbol(10);
    ADD_FAILURE() << "no error";
  } catch (const KelvakError& e) {
    EXPECT_STREQ(e.what(), kOpenErrorText);
  }
  device.gone = false;
  tx.endSymbols();

  tx.play();
  EXPECT_THROW(tx.soundSymbol(10), KelvakError);
  tx.stopPlayback();
}

}  // namespace
}  // namespace kelvak
