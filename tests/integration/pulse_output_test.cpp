// The PulseAudio sound device against a private server of each kind (PulseAudio, and PipeWire
// resampling to its graph's rate): every element intact and in its place under load, a stalled
// feeding thread bridged by the queue, a graph whose rate changes mid-transmission, and a frozen
// server that never holds the window.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
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
#include "tests/harness/server_fixture.h"
#include "tests/harness/tone_analysis.h"

namespace kelvak {
namespace {

using testing::MonitorRecorder;
using testing::PulseServer;
using testing::ServerTest;
using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point a) {
  return std::chrono::duration<double, std::milli>(Clock::now() - a).count();
}

class PulseSoundTest : public ServerTest {};
INSTANTIATE_TEST_SUITE_P(Servers, PulseSoundTest,
                         ::testing::Values(testing::kPulseAudio, testing::kPipeWire),
                         testing::serverRowName);

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

  // Plays to the end and judges every symbol from the recording, each element within
  // `tolerance` [samples] of its length.
  std::vector<testing::SymbolCheck> play(MonitorRecorder& recorder, double tolerance,
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
    recorder.markEnd();
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    recorder.stop();
    const std::vector<std::uint8_t> samples = recorder.samples();
    std::vector<testing::ToneRun> runs = testing::findToneRuns(samples);
    // The transmission's sound ends with the last block's tone. What the recording holds more
    // than an element's gap after it is none of its elements: through PipeWire, the graph
    // settling when the stream closes during the block's silent tail (a few samples near the
    // silent level when quiet, more while the machine is busy). A cut element still shows: its
    // symbol then lacks it. Counted from the first piece heard, the first block's first element.
    if (!runs.empty() && !device.writes.empty()) {
      const auto& last = device.writes.back();
      const double toneEnd =
          static_cast<double>(runs.front().start - device.writes.front().position +
                              last.position + static_cast<std::int64_t>(last.toneSamples));
      std::erase_if(runs, [&](const testing::ToneRun& r) {
        return static_cast<double>(r.start) > toneEnd + 1.5 * set.samplesPerUnit;
      });
    }
    const auto heard = testing::decodeSymbols(runs, set.samplesPerUnit);
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
    auto checks = testing::checkSymbols(heard, sent, expected, set.samplesPerUnit, tolerance);
    // Each onset against its block's place, counted from the first [ms]; later is positive.
    for (std::size_t k = 0; k < checks.size(); ++k) {
      if (checks[k].onset < 0 || checks[0].onset < 0) continue;
      const double off =
          static_cast<double>(checks[k].onset - checks[0].onset) - (expected[k] - expected[0]);
      onsetErrorMs.push_back(1000.0 * off / kSampleRate);
    }
    return checks;
  }
  std::vector<double> onsetErrorMs;
};

// Every symbol starts where the export puts it: within 1 ms at the 99th percentile and 2 ms at
// most (a resampler's filter may move an edge by a sample or two; without one they are exact).
void expectOnsetsInPlace(std::vector<double> errors) {
  ASSERT_FALSE(errors.empty());
  for (double& e : errors) e = std::abs(e);
  std::sort(errors.begin(), errors.end());
  const double p99 =
      errors[static_cast<std::size_t>(0.99 * static_cast<double>(errors.size() - 1))];
  EXPECT_LE(p99, 1.0) << "onsets off at the 99th percentile [ms]";
  EXPECT_LE(errors.back(), 2.0) << "an onset off [ms]";
}

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
// all 201 symbols comes out whole and in its place. Correctness under load, not timing.
TEST_P(PulseSoundTest, TwoHundredCharactersUnderTwoBusyLoopsKeepEveryElement) {
  struct Found {
    std::vector<testing::SymbolCheck> checks;
    std::vector<double> onsets;
    std::size_t underruns;
  };
  const Found found = recorded([&] {
    std::vector<std::unique_ptr<testing::ChildProcess>> loops;
    for (int i = 0; i < 2; ++i) {
      loops.push_back(std::make_unique<testing::ChildProcess>());
      std::string error;
      // Apart from this process, as programs a user starts are.
      EXPECT_TRUE(
          loops.back()->start({"sh", "-c", "while :; do :; done"}, {}, false, "", &error, true))
          << error;
    }
    Live live(40);
    std::string realtime;
    auto checks = live.play(recorder(), server().tolerance(), [&] {
      if (realtime.empty()) realtime = live.pulse.realtimeStatus();
    });
    std::printf("feeding thread real-time: %s; late placements %d\n", realtime.c_str(),
                live.pulse.latePlacements());
    return Found{std::move(checks), live.onsetErrorMs, live.pulse.underruns().size()};
  });
  ASSERT_EQ(found.checks.size(), 201u);
  EXPECT_EQ(found.underruns, 0u);
  expectAllIntact(found.checks);
  expectOnsetsInPlace(found.onsets);
}

// The queue at the server bridges a feeding thread held up for 100 ms, again and again.
TEST_P(PulseSoundTest, AHundredMillisecondStallOfTheFeedingThreadCausesNoUnderrun) {
  struct Found {
    std::vector<testing::SymbolCheck> checks;
    std::vector<double> onsets;
    std::size_t underruns;
  };
  const Found found = recorded([&] {
    Live live(6);
    int ticks = 0;
    auto checks = live.play(recorder(), server().tolerance(), [&] {
      if (++ticks % 4 == 2) live.pulse.stallFeedingThread(std::chrono::milliseconds(100));
    });
    return Found{std::move(checks), live.onsetErrorMs, live.pulse.underruns().size()};
  });
  ASSERT_EQ(found.checks.size(), 31u);
  EXPECT_EQ(found.underruns, 0u);
  expectAllIntact(found.checks);
  expectOnsetsInPlace(found.onsets);
}

// The underrun count is real: a stall longer than the queue is reported, with its time.
TEST_P(PulseSoundTest, AStallLongerThanTheQueueIsCountedAsAnUnderrun) {
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
TEST_P(PulseSoundTest, PlayOnAFrozenServerAnswersWithinOneSecond) {
  testing::FakeControls controls;
  testing::FakeTimer timer;
  AutoWaveDevice device;
  Random random;
  Transmission transmission(controls, timer, device, random);
  server().freeze();
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
  server().thaw();
  controls.messages.clear();
  transmission.play();
  EXPECT_TRUE(device.isOpen());
  EXPECT_EQ(device.output(), AutoWaveDevice::Output::Pulse);
  EXPECT_TRUE(controls.messages.empty());
  transmission.shutdown();
}

// The server freezes while a long block plays: Stop waits at most about a second beyond that
// block, and closing (as the program's exit does) takes no time even right after the freeze.
TEST_P(PulseSoundTest, AFrozenServerHoldsNeitherStopNorExit) {
  PulseWaveDevice device;
  ASSERT_TRUE(device.open());
  const auto block = std::make_shared<const std::vector<std::uint8_t>>(2205, 200);  // 200 ms
  ASSERT_TRUE(device.write(block));
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  server().freeze();
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

  server().thaw();
  ASSERT_TRUE(device.open());
  ASSERT_TRUE(device.write(block));
  server().freeze();  // and exit right after a freeze
  start = Clock::now();
  device.close();
  EXPECT_LT(msSince(start), 500.0);
}

// At speed 3 the long zero sounds for over four seconds, and the tick that sends it as the last
// character ends the transmission at once, while the character before it still plays: the wait
// for the sound must cover the last block whole, so all five dashes are heard.
TEST_P(PulseSoundTest, TheLastCharacterIsHeardToItsEndAtASlowSpeed) {
  const auto text = std::filesystem::temp_directory_path() /
                    ("kelvak-last-character-" + std::to_string(getpid()) + ".txt");
  std::ofstream(text) << "50";  // the shortest digit, then the long zero in the same group
  const auto checks = recorded([&] {
    Live live(1);
    live.controls.speedValue = 3;
    live.controls.longZeroChecked = true;
    live.transmission.loadFile(text.string());
    live.controls.groupsText = "1";  // beyond the file's text: it ends at its one character
    return live.play(recorder(), server().tolerance());
  });
  std::filesystem::remove(text);
  ASSERT_EQ(checks.size(), 3u);
  EXPECT_EQ(checks[2].sent, kLongZero);
  expectAllIntact(checks);
}

// Another program opens a stream at 44.1 kHz while a transmission plays, and PipeWire moves its
// whole graph to that rate. The switch stops the graph for a moment, every program's sound with
// it, and the recorder loses that time too, so the recording is judged around it: the sound goes
// on to its end, only what sounded during the switch is touched (one symbol, or the two on either
// side of a gap the switch fell in, as it lasts longer on a busy machine), and every other symbol
// keeps its place against the one before it.
TEST_P(PulseSoundTest, AGraphRateChangeMidTransmissionBreaksNothing) {
  if (GetParam().kind != testing::ServerKind::PipeWire) GTEST_SKIP() << "PulseAudio has no graph";
  Live live(4);
  int ticks = 0;
  std::thread change;
  const auto checks = live.play(recorder(), server().tolerance(), [&] {
    if (++ticks != 8) return;
    change = std::thread([this] {
      std::string error;
      EXPECT_TRUE(server().forceGraphRate(44100, &error)) << error;
    });
  });
  if (change.joinable()) change.join();
  ASSERT_EQ(checks.size(), 21u);
  std::vector<std::size_t> touched;
  for (std::size_t k = 0; k < checks.size(); ++k) {
    if (!checks[k].intact) touched.push_back(k);
  }
  const auto broken = touched.size();
  if (!touched.empty()) {
    EXPECT_LE(touched.back() - touched.front(), 1u) << "symbols apart from each other were touched";
  }
  int steps = 0;
  for (std::size_t k = 1; k < live.onsetErrorMs.size(); ++k) {
    if (std::abs(live.onsetErrorMs[k] - live.onsetErrorMs[k - 1]) > 2.0) ++steps;
  }
  EXPECT_LE(steps, 1) << "onsets moved against the ones before them";
  std::printf("graph rate switch: %zu symbol(s) touched, %d step(s), %zu underrun(s) reported\n",
              broken, steps, live.pulse.underruns().size());
}

// With a character pause of 0 the transmission never runs ahead of the sound: after every tick what
// it has queued is at most the symbol in flight and the lead, and Stop, which lets that play out,
// ends with it. (How the device cuts each block's silent tail is judged sample by sample with a
// fake stream.)
TEST_P(PulseSoundTest, CharacterPauseZeroBuildsNoBacklog) {
  Live live(30);
  live.controls.charPause = "0";
  live.transmission.play();
  ASSERT_TRUE(live.device.isOpen());
  int ticks = 0;
  std::int64_t queued = 0, lead = 0;
  live.timer.run(
      [&] {
        live.transmission.tick();
        ASSERT_FALSE(live.device.writes.empty()) << "a tick sent nothing";
        const auto& w = live.device.writes.back();
        const auto end = w.position + static_cast<std::int64_t>(w.block ? w.block->size() : 0);
        queued = std::max(queued, end - live.device.heardAt(Clock::now()));
        lead = live.device.leadSamples();
        if (++ticks == 50) live.timer.setEnabled(false);
      },
      std::chrono::minutes(2));
  ASSERT_EQ(ticks, 50);
  const auto start = Clock::now();
  live.transmission.stopPlayback();
  std::printf("pause 0: at most %lld samples queued ahead of the sound; Stop took %.1f ms\n",
              static_cast<long long>(queued), msSince(start));
  // The symbol in flight (at most 23 units of 231 samples), the lead, and a tick that came early
  // by up to its allowance. The backlog of old, 8 units a group, would hold 1.7 s by now.
  EXPECT_LE(queued, 23 * 231 + lead + WaveDevice::kLateTickMs * kSampleRate / 1000);
  EXPECT_FALSE(live.device.isOpen());
}

}  // namespace
}  // namespace kelvak
