// The PulseAudio sound device against a private server: every element intact under load, a
// stalled feeding thread bridged by the queue, and a frozen server that never holds the window.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "playback/transmission.h"
#include "sound/auto_wave_device.h"
#include "sound/pulse_wave_device.h"
#include "synth/symbol_table.h"
#include "tests/fakes/fakes.h"
#include "tests/harness/child_process.h"
#include "tests/harness/monitor_recorder.h"
#include "tests/harness/pulse_server.h"
#include "tests/harness/realtime_timer.h"
#include "tests/harness/recording_device.h"
#include "tests/harness/tone_analysis.h"

namespace kelvak {
namespace {

using testing::MonitorRecorder;
using testing::PulseServer;
using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point a) {
  return std::chrono::duration<double, std::milli>(Clock::now() - a).count();
}

class PulseSoundTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(server_.start(&error)) << error;
    server_.useForThisProcess();
    ASSERT_TRUE(recorder_.start(&error)) << error;
  }
  void TearDown() override {
    kill(server_.pid(), SIGCONT);
    recorder_.stop();
    server_.stop();
  }

  PulseServer server_;
  MonitorRecorder recorder_{server_};
};

// A transmission at speed 30 on the real clock through the PulseAudio device; `onTick` runs
// before every tick.
struct Live {
  explicit Live(int groups) {
    controls.speedValue = 30;
    controls.freq = 800;
    controls.groupsText = std::to_string(groups);
  }
  testing::FakeControls controls;
  testing::RealtimeTimer timer;
  PulseWaveDevice pulse;
  testing::RecordingDevice device{pulse};
  Random random;
  Transmission transmission{controls, timer, device, random};

  // Plays to the end and judges every symbol from the recording.
  std::vector<testing::SymbolCheck> play(MonitorRecorder& recorder,
                                         const std::function<void()>& onTick = {}) {
    transmission.play();
    EXPECT_TRUE(device.isOpen()) << pulse.openError();
    const SymbolBuffers set = transmission.buffers();
    const bool finished = timer.run(
        [&] {
          if (onTick) onTick();
          transmission.tick();
        },
        std::chrono::minutes(3));
    EXPECT_TRUE(finished);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    recorder.stop();
    const auto heard =
        testing::decodeSymbols(testing::findToneRuns(recorder.samples()), set.samplesPerUnit);
    // Each block where its position puts it, counted from the first symbol heard.
    const double first = heard.empty() || device.writes.empty()
                             ? 0.0
                             : static_cast<double>(heard[0].onset - device.writes[0].position);
    std::vector<int> sent;
    std::vector<double> expected;
    for (const auto& w : device.writes) {
      int index = -1;
      for (int i = 0; i < kSymbolCount; ++i) {
        if (set.blocks[i] == w.block) index = i;
      }
      sent.push_back(index);
      expected.push_back(first + static_cast<double>(w.position));
    }
    return testing::checkSymbols(heard, sent, expected, set.samplesPerUnit, 2.0);
  }
};

void expectAllIntact(const std::vector<testing::SymbolCheck>& checks) {
  int broken = 0;
  for (std::size_t k = 0; k < checks.size(); ++k) {
    if (checks[k].intact) continue;
    ++broken;
    ADD_FAILURE() << "symbol " << k << " sent " << SymbolTable[checks[k].sent].elements
                  << ", heard \"" << checks[k].heard << "\"";
  }
  EXPECT_EQ(broken, 0);
}

// Two busy loops, one per core, for the whole transmission: no underrun, and every element of
// all 201 symbols comes out whole. Correctness under load, not timing.
TEST_F(PulseSoundTest, TwoHundredCharactersUnderTwoBusyLoopsKeepEveryElement) {
  std::vector<std::unique_ptr<testing::ChildProcess>> loops;
  for (int i = 0; i < 2; ++i) {
    loops.push_back(std::make_unique<testing::ChildProcess>());
    std::string error;
    // Apart from this process, as programs a user starts are.
    ASSERT_TRUE(
        loops.back()->start({"sh", "-c", "while :; do :; done"}, {}, false, "", &error, true))
        << error;
  }
  Live live(40);
  std::string realtime;
  const auto checks = live.play(recorder_, [&] {
    if (realtime.empty()) realtime = live.pulse.realtimeStatus();
  });
  loops.clear();
  ASSERT_EQ(checks.size(), 201u);
  EXPECT_EQ(live.pulse.underruns().size(), 0u);
  expectAllIntact(checks);
  std::printf("feeding thread real-time: %s; late placements %d\n", realtime.c_str(),
              live.pulse.latePlacements());
}

// The queue at the server bridges a feeding thread held up for 100 ms, again and again.
TEST_F(PulseSoundTest, AHundredMillisecondStallOfTheFeedingThreadCausesNoUnderrun) {
  Live live(6);
  int ticks = 0;
  const auto checks = live.play(recorder_, [&] {
    if (++ticks % 4 == 2) live.pulse.stallFeedingThread(std::chrono::milliseconds(100));
  });
  ASSERT_EQ(checks.size(), 31u);
  EXPECT_EQ(live.pulse.underruns().size(), 0u);
  expectAllIntact(checks);
}

// The underrun count is real: a stall longer than the queue is reported, with its time.
TEST_F(PulseSoundTest, AStallLongerThanTheQueueIsCountedAsAnUnderrun) {
  PulseWaveDevice device;
  ASSERT_TRUE(device.open()) << device.openError();
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  const auto before = Clock::now();
  device.stallFeedingThread(std::chrono::milliseconds(400));
  std::this_thread::sleep_for(std::chrono::milliseconds(700));
  const auto underruns = device.underruns();
  ASSERT_GE(underruns.size(), 1u);
  EXPECT_GE(underruns[0].at, before);
}

// Play while the server is frozen: the window hears back within a second, with the usual message,
// and the reason goes to standard error.
TEST_F(PulseSoundTest, PlayOnAFrozenServerAnswersWithinOneSecond) {
  testing::FakeControls controls;
  testing::FakeTimer timer;
  AutoWaveDevice device;
  Random random;
  Transmission transmission(controls, timer, device, random);
  kill(server_.pid(), SIGSTOP);
  ::testing::internal::CaptureStderr();
  const auto start = Clock::now();
  transmission.play();
  const double ms = msSince(start);
  const std::string said = ::testing::internal::GetCapturedStderr();
  std::printf("Play on a frozen server answered after %.1f ms\n", ms);
  EXPECT_LT(ms, 1000.0);
  ASSERT_EQ(controls.messages.size(), 1u);
  EXPECT_EQ(controls.messages[0].first, "Error opening waveform stream");
  EXPECT_TRUE(controls.playEnabled);
  EXPECT_NE(said.find("did not answer"), std::string::npos) << said;

  // Once the server answers again, Play opens as usual.
  kill(server_.pid(), SIGCONT);
  controls.messages.clear();
  transmission.play();
  EXPECT_TRUE(device.isOpen());
  EXPECT_EQ(device.output(), AutoWaveDevice::Output::Pulse);
  EXPECT_TRUE(controls.messages.empty());
  transmission.shutdown();
}

// The server freezes while a long block plays: Stop waits at most about a second beyond that
// block, and closing (as the program's exit does) takes no time even right after the freeze.
TEST_F(PulseSoundTest, AFrozenServerHoldsNeitherStopNorExit) {
  PulseWaveDevice device;
  ASSERT_TRUE(device.open());
  const auto block = std::make_shared<const std::vector<std::uint8_t>>(2205, 200);  // 200 ms
  ASSERT_TRUE(device.write(block));
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  kill(server_.pid(), SIGSTOP);
  auto start = Clock::now();
  EXPECT_FALSE(device.waitUntilPlayed());
  const double waited = msSince(start);
  std::printf("wait with a frozen server gave up after %.1f ms\n", waited);
  EXPECT_LT(waited, 200 + device.latencyMs() + 1000.0);  // the block, the latency, a second
  start = Clock::now();
  device.close();
  const double closing = msSince(start);
  std::printf("close with a frozen server took %.1f ms\n", closing);
  EXPECT_LT(closing, 500.0);

  kill(server_.pid(), SIGCONT);
  ASSERT_TRUE(device.open());
  ASSERT_TRUE(device.write(block));
  kill(server_.pid(), SIGSTOP);  // and exit right after a freeze
  start = Clock::now();
  device.close();
  EXPECT_LT(msSince(start), 500.0);
}

// At speed 3 the long zero sounds for over four seconds, and the tick that sends it as the last
// character ends the transmission at once, while the character before it still plays: the wait
// for the sound must cover the last block whole, so all five dashes are heard.
TEST_F(PulseSoundTest, TheLastCharacterIsHeardToItsEndAtASlowSpeed) {
  const auto text = std::filesystem::temp_directory_path() /
                    ("kelvak-last-character-" + std::to_string(getpid()) + ".txt");
  std::ofstream(text) << "50";  // the shortest digit, then the long zero in the same group
  Live live(1);
  live.controls.speedValue = 3;
  live.controls.longZeroChecked = true;
  live.transmission.loadFile(text.string());
  live.controls.groupsText = "1";  // beyond the file's text: it ends at its one character
  const auto checks = live.play(recorder_);
  std::filesystem::remove(text);
  ASSERT_EQ(checks.size(), 3u);
  EXPECT_EQ(checks[2].sent, kLongZero);
  expectAllIntact(checks);
}

// Stop ends a transmission with a character pause of 0 at once: the sound never fell behind.
TEST_F(PulseSoundTest, CharacterPauseZeroBuildsNoBacklog) {
  Live live(30);
  live.controls.charPause = "0";
  live.transmission.play();
  ASSERT_TRUE(live.device.isOpen());
  int ticks = 0;
  live.timer.run(
      [&] {
        live.transmission.tick();
        if (++ticks == 100) live.timer.setEnabled(false);
      },
      std::chrono::minutes(2));
  const auto start = Clock::now();
  live.transmission.stopPlayback();
  const double ms = msSince(start);
  std::printf("Stop after 100 symbols at pause 0 returned in %.1f ms\n", ms);
  // The symbol in flight (at most 23 units of 21 ms) and the lead. The backlog of old, 8 units a
  // group, would add over three seconds by now.
  EXPECT_LT(ms, 23 * 21 + live.pulse.latencyMs() + 300.0);
}

}  // namespace
}  // namespace kelvak
