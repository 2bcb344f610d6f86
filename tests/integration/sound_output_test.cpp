// What a private server of each kind plays of a transmission against the export, and the SDL
// sound device against such servers: faults, and the end of the sound.
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
#include "tests/harness/server_fixture.h"
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

class SoundServerTest : public testing::ServerTest {};
INSTANTIATE_TEST_SUITE_P(Servers, SoundServerTest,
                         ::testing::Values(testing::kPulseAudio, testing::kPipeWire),
                         testing::serverRowName);
// With PipeWire's graph at another rate than the program's the recording passes a resampler and
// cannot equal the export; at the program's own rate it must.
class RecordedExportTest : public testing::ServerTest {};
INSTANTIATE_TEST_SUITE_P(Servers, RecordedExportTest,
                         ::testing::Values(testing::kPulseAudio, testing::kPipeWire,
                                           testing::kPipeWireAtOurRate),
                         testing::serverRowName);

// The window's sound is the export's, sample for sample: a short transmission played on the real
// clock and recorded from a null sink at the program's own rate equals the export of the same
// settings and generator from its first tone sample to the end of its last block, also when some
// ticks are held up as a busy or paged-out window might hold them. Through a resampler, every
// symbol is whole and starts where the export's does.
TEST_P(RecordedExportTest, TheRecordedTransmissionEqualsTheExport) {
  // A tick may run up to WaveDevice::kLateTickMs late and change nothing heard. The held ones
  // keep 60 ms of that for what a busy machine adds to every tick; a hold of 150 ms left 10, and
  // three busy loops beside two builds took more than that.
  constexpr std::chrono::milliseconds kHeld{WaveDevice::kLateTickMs - 60};
  FakeControls controls;
  controls.speedValue = 30;
  controls.freq = 800;
  controls.groupsText = "2";
  Random planRandom;
  const TransmissionPlan plan = planTransmission(settingsFrom(controls), FileText{}, planRandom);
  std::vector<std::uint8_t> exported(static_cast<std::size_t>(plan.totalSamples));
  PlanRenderer renderer(plan);
  ASSERT_EQ(renderer.render(exported.data(), exported.size()), exported.size());

  struct Found {
    std::vector<RecordingDevice::Write> writes;
    std::vector<std::uint8_t> recorded;
    std::size_t underruns;
    int late;
    double latestTickMs;  // the latest a tick woke [ms]; a held one adds its hold
    bool finished;
    double samplesPerUnit;
  };
  const Found found = recorded([&] {
    RealtimeTimer timer;
    PulseWaveDevice pulse;
    RecordingDevice device(pulse);
    Random random;
    FakeControls live = controls;
    Transmission transmission(live, timer, device, random);
    transmission.play();
    EXPECT_TRUE(device.isOpen()) << pulse.openError();
    const double samplesPerUnit = transmission.buffers().samplesPerUnit;
    int ticks = 0;
    const bool finished = timer.run(
        [&] {
          if (++ticks % 4 == 3) std::this_thread::sleep_for(kHeld);
          transmission.tick();
        },
        std::chrono::seconds(30));
    recorder().markEnd();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    recorder().stop();
    const auto& lateness = timer.lateness();
    return Found{device.writes,
                 recorder().samples(),
                 pulse.underruns().size(),
                 pulse.latePlacements(),
                 lateness.empty() ? 0.0 : *std::max_element(lateness.begin(), lateness.end()),
                 finished && !device.isOpen(),
                 samplesPerUnit};
  });
  ASSERT_TRUE(found.finished);

  // Every block went out for its place in the export.
  ASSERT_EQ(found.writes.size(), plan.symbols.size());
  for (std::size_t k = 0; k < plan.symbols.size(); ++k) {
    EXPECT_TRUE(found.writes[k].accepted) << k;
    EXPECT_EQ(found.writes[k].position, plan.symbols[k].start) << k;
  }
  EXPECT_EQ(found.underruns, 0u);
  EXPECT_EQ(found.late, 0) << "ticks ran up to " << found.latestTickMs << " ms late, some held "
                           << kHeld.count() << " ms more";
  auto firstTone = [](const std::vector<std::uint8_t>& v, std::size_t from) {
    while (from < v.size() && v[from] == OutputTimeline::kCentreLevel) ++from;
    return from;
  };
  const std::vector<std::uint8_t>& recording = found.recorded;
  if (server().resamples()) {
    // Each symbol whole, and its onset where the export's is, counted from the first.
    const auto heard =
        testing::decodeSymbols(testing::findToneRuns(recording), found.samplesPerUnit);
    std::vector<int> sent;
    std::vector<double> expected;
    for (const PlannedSymbol& s : plan.symbols) {
      sent.push_back(s.index);
      expected.push_back(static_cast<double>(s.start));
    }
    ASSERT_FALSE(heard.empty());
    for (double& e : expected)
      e += static_cast<double>(heard[0].onset) - static_cast<double>(plan.symbols[0].start);
    const auto checks =
        testing::checkSymbols(heard, sent, expected, found.samplesPerUnit, server().tolerance());
    for (std::size_t k = 0; k < checks.size(); ++k) {
      EXPECT_TRUE(checks[k].intact) << "symbol " << k << " heard \"" << checks[k].heard << "\"";
      EXPECT_LE(std::abs(static_cast<double>(checks[k].onset) - expected[k]), kSampleRate / 500.0)
          << "symbol " << k << "'s onset [samples]";
    }
    return;
  }
  // Aligned by the first sample off the centre level, which both hold before the first tone.
  const std::size_t e0 = firstTone(exported, static_cast<std::size_t>(plan.symbols[0].start));
  const std::size_t r0 = firstTone(recording, 0);
  ASSERT_LT(e0, exported.size());
  const std::size_t n = exported.size() - e0;
  ASSERT_GE(recording.size(), r0 + n) << "the recording ends before the last block";
  std::size_t differing = 0, first = n;
  for (std::size_t j = 0; j < n; ++j) {
    if (recording[r0 + j] == exported[e0 + j]) continue;
    ++differing;
    first = std::min(first, j);
  }
  EXPECT_EQ(differing, 0u) << "of " << n << " samples; the first at " << first;
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
  // A guard against a hang, not a timing: SDL tries its drivers one by one, and under the
  // sanitizers beside three busy loops that took 9.5 s.
  EXPECT_LT(ms, 60000.0) << "open hung";
  device.close();  // nothing to close: must not fail
}

// A transmission at speed 30 with the window's default settings, on the real clock, through the
// SDL device or the one the program uses on a server (PulseWaveDevice).
template <class Device = SdlWaveDevice>
struct LiveTransmission {
  explicit LiveTransmission(int groups) {
    controls.speedValue = 30;
    controls.freq = 800;
    controls.groupsText = std::to_string(groups);
  }
  FakeControls controls;
  RealtimeTimer timer;
  Device sdl;
  RecordingDevice device{sdl};
  Random random;
  Transmission transmission{controls, timer, device, random};
};

// The server dies part-way: the device stops taking blocks, and the transmission ends with the
// device's message instead of running on in silence; nothing crashes, nothing waits on the dead
// server. (SDL cannot tell a dead server from a frozen one; the program uses it only where no
// PulseAudio-compatible server answers.)
TEST_P(SoundServerTest, ServerThatDiesEndsTheSoundNotTheProgram) {
  LiveTransmission<PulseWaveDevice> live(2);
  live.transmission.play();
  ASSERT_TRUE(live.device.isOpen());
  int ticks = 0;
  const bool finished = live.timer.run(
      [&] {
        if (++ticks == 4) server().kill();
        live.transmission.tick();
      },
      std::chrono::seconds(30));
  EXPECT_TRUE(finished);
  EXPECT_FALSE(live.device.isOpen());
  ASSERT_GE(live.device.writes.size(), 4u);
  EXPECT_TRUE(live.device.writes[0].accepted);
  EXPECT_FALSE(live.device.writes.back().accepted);
  ASSERT_EQ(live.controls.messages.size(), 1u);
  EXPECT_EQ(live.controls.messages[0].first, "Error opening waveform stream");
  EXPECT_TRUE(live.controls.playEnabled);
  EXPECT_EQ(live.controls.status, "");
}

// The server dies in the middle of a long symbol and the user presses Stop: the window is idle
// again at once, and the next Play, with no server left, says the sound could not be opened.
TEST_P(SoundServerTest, StopAfterTheServerDiedReturnsToIdleAndPlayReportsTheFailure) {
  LiveTransmission<> live(30);
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
  server().kill();
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
TEST_P(SoundServerTest, FrozenServerCannotHoldTheWindow) {
  SdlWaveDevice device;
  ASSERT_TRUE(device.open());
  auto block = std::make_shared<const std::vector<std::uint8_t>>(2205, 200);  // 200 ms
  ASSERT_TRUE(device.write(block));
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  server().freeze();
  const auto start = Clock::now();
  EXPECT_FALSE(device.waitUntilPlayed());
  std::printf("wait with a frozen server gave up after %.1f ms\n", msBetween(start, Clock::now()));
  const auto closing = Clock::now();
  device.close();
  std::printf("close with a frozen server took %.1f ms\n", msBetween(closing, Clock::now()));
  EXPECT_FALSE(device.isOpen());
  // Once the server answers again, the device opens as usual and its sound plays. (How soon a
  // server just woken from a freeze takes sound again is the machine's: on a busy one the first
  // wait may give up, so the test waits as long as it needs.)
  server().thaw();
  EXPECT_TRUE(device.open());
  EXPECT_TRUE(device.write(block));
  const auto giveUp = Clock::now() + std::chrono::seconds(10);
  while (device.busy() && Clock::now() < giveUp) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  EXPECT_TRUE(device.alive());
  EXPECT_FALSE(device.busy());
}

// The end of a transmission waits for the last block and then closes the device; a close while
// sound is still to play lets it play out first, so the block sounds to its very last sample
// also when the wait gave up on a starved server.
TEST_P(SoundServerTest, WaitUntilPlayedLetsTheLastSampleOut) {
  std::vector<std::uint8_t> saw(2205);  // 200 ms of a 441 Hz sawtooth, no silent tail
  for (std::size_t i = 0; i < saw.size(); ++i) saw[i] = static_cast<std::uint8_t>(1 + i % 25 * 10);
  const auto heard = recorded([&] {
    SdlWaveDevice device;
    EXPECT_TRUE(device.open());
    EXPECT_TRUE(device.write(std::make_shared<const std::vector<std::uint8_t>>(saw)));
    // On a busy machine the wait may give up early (SDL's thread starved as by a frozen server);
    // the close then lets the rest play out on a thread of its own.
    device.waitUntilPlayed();
    device.close();
    for (int k = 0; k < 1000 && SdlWaveDevice::closing(); ++k) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    recorder().markEnd();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    recorder().stop();
    return recorder().samples();
  });
  // The end is what the close could cut. (SDL keeps one period at the server, so a starved
  // machine may open a gap inside the block; that is SDL's small buffer, not the end.)
  if (server().resamples()) {
    // Through a resampler the sawtooth keeps its length but not its bytes: all of its 200 ms
    // sound, in one stretch or in pieces.
    double toneMs = 0;
    std::string runs;  // where, for a failure to say whether the end or a gap inside lost it
    for (const auto& run : testing::findToneRuns(heard)) {
      toneMs += 1000.0 * static_cast<double>(run.end - run.start) / kSampleRate;
      runs += " " + std::to_string(run.start) + ".." + std::to_string(run.end);
    }
    EXPECT_GE(toneMs, 199.0) << "the sawtooth's end was cut; tone in samples" << runs << " of "
                             << heard.size();
    return;
  }
  // Every sawtooth sample is off the silent level, which fills any gap: all 2205 are there.
  const auto sounded = std::count_if(
      heard.begin(), heard.end(), [](std::uint8_t v) { return v != OutputTimeline::kCentreLevel; });
  EXPECT_GE(sounded, static_cast<std::ptrdiff_t>(saw.size())) << "the sawtooth's end was cut";
}

}  // namespace
}  // namespace kelvak
