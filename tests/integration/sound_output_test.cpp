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

#include "playback/transmission.h"
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

// Which of the 46 symbols a written block is.
int symbolOf(const SymbolBlock& block, const SymbolBuffers& set) {
  for (int i = 0; i < kSymbolCount; ++i) {
    if (set.blocks[i] == block) return i;
  }
  return -1;
}

TEST_F(SoundServerTest, TransmissionAtSpeedThirtySoundsEverySymbolOnTime) {
  FakeControls controls;
  controls.speedValue = 30;
  controls.freq = 800;  // 13.8 samples per cycle: the sine never rests for long
  controls.groupsText = "3";
  RealtimeTimer timer;
  PulseWaveDevice pulse;
  RecordingDevice device(pulse);
  Random random;
  Transmission transmission(controls, timer, device, random);

  transmission.play();
  ASSERT_TRUE(device.isOpen()) << pulse.openError();
  const SymbolBuffers set = transmission.buffers();  // the blocks, kept for naming them later
  const std::int32_t unitMs = transmission.unitMs();
  ASSERT_EQ(unitMs, 21);
  ASSERT_TRUE(timer.run([&] { transmission.tick(); }, std::chrono::seconds(30)));
  ASSERT_FALSE(device.isOpen());
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  recorder_.stop();

  // What was sent: the start signal and 15 characters.
  ASSERT_EQ(device.writes.size(), 16u);
  std::vector<int> sent;
  for (const auto& w : device.writes) {
    EXPECT_TRUE(w.accepted);
    sent.push_back(symbolOf(w.block, set));
  }
  ASSERT_EQ(sent.front(), kStartSignal);

  // What was heard: the same symbols, dots one unit and dashes three, one unit apart.
  const double samplesPerUnit = set.samplesPerUnit;
  const auto heard =
      testing::decodeSymbols(testing::findToneRuns(recorder_.samples()), samplesPerUnit);
  ASSERT_EQ(heard.size(), sent.size());
  for (std::size_t k = 0; k < sent.size(); ++k) {
    SCOPED_TRACE("symbol " + std::to_string(k));
    EXPECT_EQ(heard[k].elements, SymbolTable[sent[k]].elements);
    for (double u : heard[k].toneUnits) {
      EXPECT_NEAR(u, std::round(u), 2.0 / samplesPerUnit);
    }
    for (double g : heard[k].gapUnits) EXPECT_NEAR(g, 1.0, 2.0 / samplesPerUnit);
  }

  // When: each symbol starts its interval (P + L) * UnitMs after the one before, P being 8 units
  // after the start signal and after every fifth character and 0 otherwise. The timer keeps that
  // beat, and the device places each block by its tick's moment on the beat, so a tick that woke
  // a little late is still heard on time. Only a tick later than the device's slack (the write
  // latency less the queue, about 25 ms) cannot be: a busy machine's doing, not the device's, so
  // such intervals are only printed.
  std::vector<double> deviceError, nominalError;
  for (std::size_t k = 1; k < sent.size(); ++k) {
    SCOPED_TRACE("interval " + std::to_string(k));
    const std::size_t c = k - 1;  // symbol counter at the tick that sent symbol k-1
    const int pause = c % 5 == 0 ? 8 : 0;
    const double nominalMs = (pause + SymbolTable[sent[c]].length) * unitMs;
    const double heardMs =
        1000.0 * static_cast<double>(heard[k].onset - heard[k - 1].onset) / kSampleRate;
    const double writtenMs = msBetween(device.writes[c].moment, device.writes[k].moment);
    // A block never starts before the tone of the one before it has ended.
    const double earliestMs =
        1000.0 * static_cast<double>(set.length(sent[c]) - 4 * set.samplesPerUnit) / kSampleRate;
    deviceError.push_back(std::abs(heardMs - std::max(writtenMs, earliestMs)));
    nominalError.push_back(std::abs(heardMs - nominalMs));
    const bool onTime = msBetween(device.writes[c].moment, device.writes[c].at) < 20 &&
                        msBetween(device.writes[k].moment, device.writes[k].at) < 20;
    if (onTime) {
      EXPECT_NEAR(heardMs, std::max(writtenMs, earliestMs), 2.0);
    }
    std::printf("interval %2zu nominal %6.1f beat %7.2f heard %7.2f ms%s\n", k, nominalMs,
                writtenMs, heardMs, onTime ? "" : " (a tick ran late)");
  }
  auto median = [](std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
  };
  // The device reproduces the moments of writing, and the timer writes on its beat.
  EXPECT_LT(median(deviceError), 1.0);
  EXPECT_LT(median(nominalError), 1.5);
  EXPECT_EQ(pulse.underruns().size(), 0u);
  for (std::size_t k = 0; k < sent.size(); ++k) {
    const double delay =
        msBetween(device.writes[k].at, recorder_.timeOf(static_cast<double>(heard[k].onset)));
    std::printf("symbol %2zu write to sound %6.2f ms\n", k, delay);
  }
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
