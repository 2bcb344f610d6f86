// The SDL sound device against a private PulseAudio server: what the server plays, and when.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <thread>

#include "export/transmission_plan.h"
#include "playback/settings.h"
#include "playback/transmission.h"
#include "sound/output_timeline.h"
#include "sound/pulse_wave_device.h"
#include "sound/sdl_wave_device.h"
#include "synth/symbol_table.h"
#include "tests/fakes/fakes.h"
#include "tests/harness/monitor_recorder.h"
#include "tests/harness/pulse_server.h"
#include "tests/harness/realtime_timer.h"
#include "tests/harness/recording_device.h"
#include "tests/harness/tone_analysis.h"

namespace kelvak {
namespace {

using testing::FakeControls;
using testing::MonitorRecorder;
using testing::PulseServer;
using testing::RealtimeTimer;
using testing::RecordingDevice;
using Clock = std::chrono::steady_clock;

double msBetween(Clock::time_point a, Clock::time_point b) {
  return std::chrono::duration<double, std::milli>(b - a).count();
}

// A private server with a recorder on its sink, for one test.
class SoundServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(server_.start(&error)) << error;
    server_.useForThisProcess();
    ASSERT_TRUE(recorder_.start(&error)) << error;
  }
  void TearDown() override {
    recorder_.stop();
    server_.stop();
  }

  PulseServer server_;
  MonitorRecorder recorder_{server_};
};

// The window's sound is the export's, sample for sample: a short transmission played on the real
// clock and recorded from a null sink at the program's own rate equals the export of the same
// settings and generator from its first tone sample to the end of its last block, also when some
// ticks are held up by 150 ms as a busy or paged-out window might hold them.
TEST_F(SoundServerTest, TheRecordedTransmissionEqualsTheExport) {
  FakeControls controls;
  controls.speedValue = 30;
  controls.freq = 800;
  controls.groupsText = "2";
  Random planRandom;
  const TransmissionPlan plan = planTransmission(settingsFrom(controls), FileText{}, planRandom);
  std::vector<std::uint8_t> exported(static_cast<std::size_t>(plan.totalSamples));
  PlanRenderer renderer(plan);
  ASSERT_EQ(renderer.render(exported.data(), exported.size()), exported.size());

  RealtimeTimer timer;
  PulseWaveDevice pulse;
  RecordingDevice device(pulse);
  Random random;
  Transmission transmission(controls, timer, device, random);
  transmission.play();
  ASSERT_TRUE(device.isOpen()) << pulse.openError();
  int ticks = 0;
  ASSERT_TRUE(timer.run(
      [&] {
        if (++ticks % 4 == 3) std::this_thread::sleep_for(std::chrono::milliseconds(150));
        transmission.tick();
      },
      std::chrono::seconds(30)));
  ASSERT_FALSE(device.isOpen());
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  recorder_.stop();

  // Every block went out for its place in the export.
  ASSERT_EQ(device.writes.size(), plan.symbols.size());
  for (std::size_t k = 0; k < plan.symbols.size(); ++k) {
    EXPECT_TRUE(device.writes[k].accepted) << k;
    EXPECT_EQ(device.writes[k].position, plan.symbols[k].start) << k;
  }
  // Aligned by the first sample off the centre level, which both hold before the first tone.
  const std::vector<std::uint8_t> recorded = recorder_.samples();
  auto firstTone = [](const std::vector<std::uint8_t>& v, std::size_t from) {
    while (from < v.size() && v[from] == OutputTimeline::kCentreLevel) ++from;
    return from;
  };
  const std::size_t e0 = firstTone(exported, static_cast<std::size_t>(plan.symbols[0].start));
  const std::size_t r0 = firstTone(recorded, 0);
  ASSERT_LT(e0, exported.size());
  const std::size_t n = exported.size() - e0;
  ASSERT_GE(recorded.size(), r0 + n) << "the recording ends before the last block";
  std::size_t differing = 0, first = n;
  for (std::size_t j = 0; j < n; ++j) {
    if (recorded[r0 + j] == exported[e0 + j]) continue;
    ++differing;
    first = std::min(first, j);
  }
  EXPECT_EQ(differing, 0u) << "of " << n << " samples; the first at " << first;
  EXPECT_EQ(pulse.underruns().size(), 0u);
  EXPECT_EQ(pulse.latePlacements(), 0);
}

// No sound server and no sound card: every driver SDL tries fails, and open() says so. How long
// that takes is printed for the record; the only limit here is a guard against hanging.
TEST(SoundWithoutServer, OpenFailsCleanly) {
  if (std::filesystem::exists("/dev/snd")) GTEST_SKIP() << "this machine has a sound card";
  const std::string missing = "unix:/tmp/kelvak-no-server-" + std::to_string(getpid());
  setenv("PULSE_SERVER", missing.c_str(), 1);
  unsetenv("SDL_AUDIODRIVER");
  SdlWaveDevice device;
  const auto start = Clock::now();
  const bool opened = device.open();
  const double ms = msBetween(start, Clock::now());
  std::printf("open without a server failed after %.1f ms\n", ms);
  EXPECT_FALSE(opened);
  EXPECT_FALSE(device.isOpen());
  EXPECT_FALSE(device.write(std::make_shared<const std::vector<std::uint8_t>>(100, 0)));
  EXPECT_LT(ms, 5000.0) << "open hung";
  device.close();  // nothing to close: must not fail
}

// A transmission at speed 30 with the window's default settings, on the real clock.
struct LiveTransmission {
  explicit LiveTransmission(int groups) {
    controls.speedValue = 30;
    controls.freq = 800;
    controls.groupsText = std::to_string(groups);
  }
  FakeControls controls;
  RealtimeTimer timer;
  SdlWaveDevice sdl;
  RecordingDevice device{sdl};
  Random random;
  Transmission transmission{controls, timer, device, random};
};

// The server dies part-way: the device stops taking blocks, the transmission runs on to its end
// without waiting for sound that will never play, and nothing crashes.
TEST_F(SoundServerTest, ServerThatDiesEndsTheSoundNotTheProgram) {
  LiveTransmission live(2);
  live.transmission.play();
  ASSERT_TRUE(live.device.isOpen());
  int ticks = 0;
  const bool finished = live.timer.run(
      [&] {
        if (++ticks == 4) server_.kill();
        live.transmission.tick();
      },
      std::chrono::seconds(30));
  EXPECT_TRUE(finished);
  EXPECT_FALSE(live.device.isOpen());
  ASSERT_EQ(live.device.writes.size(), 11u);
  EXPECT_TRUE(live.device.writes[0].accepted);
  EXPECT_FALSE(live.device.writes.back().accepted);
  EXPECT_EQ(live.controls.pane.size(), 12u);  // the text is shown all the same
}

// The server dies in the middle of a long symbol and the user presses Stop: the window is idle
// again at once, and the next Play, with no server left, says the sound could not be opened.
TEST_F(SoundServerTest, StopAfterTheServerDiedReturnsToIdleAndPlayReportsTheFailure) {
  LiveTransmission live(30);
  live.controls.speedValue = 5;  // units of 131 ms: the symbol in flight lasts seconds
  live.transmission.play();
  ASSERT_TRUE(live.device.isOpen());
  int ticks = 0;
  live.timer.run(
      [&] {
        live.transmission.tick();
        if (++ticks == 2) live.timer.setEnabled(false);  // stand still while a symbol sounds
      },
      std::chrono::seconds(10));
  ASSERT_EQ(ticks, 2);
  server_.kill();
  const auto start = Clock::now();
  live.transmission.stopPlayback();
  const double ms = msBetween(start, Clock::now());
  std::printf("Stop after the server died returned to idle in %.1f ms\n", ms);
  EXPECT_LT(ms, 5000.0) << "Stop hung on a dead server";
  EXPECT_TRUE(live.controls.playEnabled);
  EXPECT_FALSE(live.controls.stopEnabled);
  EXPECT_FALSE(live.controls.pauseEnabled);
  EXPECT_FALSE(live.device.isOpen());

  if (std::filesystem::exists("/dev/snd")) GTEST_SKIP() << "a sound card would take over";
  live.transmission.play();
  ASSERT_EQ(live.controls.messages.size(), 1u);
  EXPECT_EQ(live.controls.messages[0].first, "Error opening waveform stream");
  EXPECT_EQ(live.controls.messages[0].second, "Error");
  EXPECT_TRUE(live.controls.playEnabled);
  EXPECT_FALSE(live.timer.enabled());
}

// A server that stops answering (frozen, not dead): waiting for the sound is bounded, and the
// device can be closed.
TEST_F(SoundServerTest, FrozenServerCannotHoldTheWindow) {
  SdlWaveDevice device;
  ASSERT_TRUE(device.open());
  auto block = std::make_shared<const std::vector<std::uint8_t>>(2205, 200);  // 200 ms
  ASSERT_TRUE(device.write(block));
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  kill(server_.pid(), SIGSTOP);
  const auto start = Clock::now();
  EXPECT_FALSE(device.waitUntilPlayed());
  std::printf("wait with a frozen server gave up after %.1f ms\n", msBetween(start, Clock::now()));
  const auto closing = Clock::now();
  device.close();
  std::printf("close with a frozen server took %.1f ms\n", msBetween(closing, Clock::now()));
  EXPECT_FALSE(device.isOpen());
  // Once the server answers again, the device opens as usual.
  kill(server_.pid(), SIGCONT);
  EXPECT_TRUE(device.open());
  EXPECT_TRUE(device.write(block));
  EXPECT_TRUE(device.waitUntilPlayed());
}

// The end of a transmission waits for the last block and then closes the device; closing drops
// whatever the server still holds, so an early close would cut the block's end off. This block
// sounds to its very last sample.
TEST_F(SoundServerTest, WaitUntilPlayedLetsTheLastSampleOut) {
  std::vector<std::uint8_t> saw(2205);  // 200 ms of a 441 Hz sawtooth, no silent tail
  for (std::size_t i = 0; i < saw.size(); ++i) saw[i] = static_cast<std::uint8_t>(1 + i % 25 * 10);
  SdlWaveDevice device;
  ASSERT_TRUE(device.open());
  ASSERT_TRUE(device.write(std::make_shared<const std::vector<std::uint8_t>>(saw)));
  EXPECT_TRUE(device.waitUntilPlayed());
  device.close();
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  recorder_.stop();
  const auto heard = recorder_.samples();
  EXPECT_NE(std::search(heard.begin(), heard.end(), saw.begin(), saw.end()), heard.end());
}

}  // namespace
}  // namespace kelvak
