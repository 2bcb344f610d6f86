// Measures how faithfully the real sound device plays a transmission: plays one through a private
// PulseAudio server, records the server's output and reports, from the recording, the underruns,
// the characters whose elements came out wrong, the error of the intervals between symbols and
// the delay from a write to its sound. Figures, not pass or fail.
//
//   kelvak_measure_timing [--speed N] [--groups N] [--kind K] [--device pulse|sdl]
//                         [--realtime 0|1] [--busy N] [--busy-apart 0|1] [--stall MS]
//                         [--verbose 1]
// --busy N runs N busy loops (sh -c 'while :; do :; done') for the whole measurement, each in a
// session of its own like any program a user starts apart (--busy-apart 0: in this program's own
// session, where the kernel shares the processors among them and the timer's thread directly);
// --stall MS holds the PulseAudio device's feeding thread for MS every ten symbols.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "playback/transmission.h"
#include "sound/pulse_wave_device.h"
#include "sound/sdl_wave_device.h"
#include "synth/symbol_table.h"
#include "tests/fakes/fakes.h"
#include "tests/harness/child_process.h"
#include "tests/harness/monitor_recorder.h"
#include "tests/harness/pulse_server.h"
#include "tests/harness/realtime_timer.h"
#include "tests/harness/recording_device.h"
#include "tests/harness/spectrum.h"
#include "tests/harness/tone_analysis.h"

namespace {

using namespace kelvak;
using Clock = std::chrono::steady_clock;

struct Options {
  int speed = 30;
  int groups = 200;
  int kind = 0;
  std::string device = "pulse";
  bool realtime = true;
  int busy = 0;
  bool busyApart = true;
  int stallMs = 0;
  bool verbose = false;
};

Options parse(int argc, char** argv) {
  Options o;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string name = argv[i];
    const std::string text = argv[i + 1];
    const int value = std::atoi(text.c_str());
    if (name == "--speed")
      o.speed = value;
    else if (name == "--groups")
      o.groups = value;
    else if (name == "--kind")
      o.kind = value;
    else if (name == "--device")
      o.device = text;
    else if (name == "--realtime")
      o.realtime = value != 0;
    else if (name == "--busy")
      o.busy = value;
    else if (name == "--busy-apart")
      o.busyApart = value != 0;
    else if (name == "--stall")
      o.stallMs = value;
    else if (name == "--verbose")
      o.verbose = value != 0;
    else {
      std::fprintf(stderr, "unknown option %s\n", name.c_str());
      std::exit(2);
    }
  }
  return o;
}

// Median, 99th percentile and maximum of the absolute values [same unit as the input].
struct Spread {
  double median = 0, p99 = 0, max = 0;
};

Spread spreadOf(std::vector<double> v) {
  if (v.empty()) return {};
  for (double& x : v) x = std::abs(x);
  std::sort(v.begin(), v.end());
  auto at = [&](double q) {
    const double pos = q * static_cast<double>(v.size() - 1);
    const auto lo = static_cast<std::size_t>(pos);
    const std::size_t hi = std::min(lo + 1, v.size() - 1);
    return v[lo] + (v[hi] - v[lo]) * (pos - static_cast<double>(lo));
  };
  return {at(0.5), at(0.99), v.back()};
}

int symbolOf(const SymbolBlock& block, const SymbolBuffers& set) {
  for (int i = 0; i < kSymbolCount; ++i) {
    if (set.blocks[i] == block) return i;
  }
  return -1;
}

std::string loadAverage() {
  std::ifstream in("/proc/loadavg");
  std::string a, b, c;
  in >> a >> b >> c;
  return a + " " + b + " " + c;
}

}  // namespace

int main(int argc, char** argv) {
  const Options opt = parse(argc, argv);
  testing::PulseServer server;
  std::string error;
  if (!server.start(&error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  server.useForThisProcess();
  testing::MonitorRecorder recorder(server);
  if (!recorder.start(&error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  std::vector<std::unique_ptr<testing::ChildProcess>> loops;
  for (int i = 0; i < opt.busy; ++i) {
    loops.push_back(std::make_unique<testing::ChildProcess>());
    if (!loops.back()->start({"sh", "-c", "while :; do :; done"}, {}, false, "", &error,
                             opt.busyApart)) {
      std::fprintf(stderr, "%s\n", error.c_str());
      return 1;
    }
  }

  testing::FakeControls controls;
  controls.speedValue = opt.speed;
  controls.kind = opt.kind;
  controls.freq = 800;
  controls.groupsText = std::to_string(opt.groups);
  testing::RealtimeTimer timer;
  PulseWaveDevice pulse(PulseWaveDevice::Options{opt.realtime});
  SdlWaveDevice sdl;
  WaveDevice& real = opt.device == "sdl" ? static_cast<WaveDevice&>(sdl) : pulse;
  testing::RecordingDevice device(real);
  Random random;
  Transmission transmission(controls, timer, device, random);

  const std::string loadBefore = loadAverage();
  transmission.play();
  if (!device.isOpen()) {
    std::fprintf(stderr, "the sound device did not open: %s\n",
                 opt.device == "sdl" ? sdl.openError().c_str() : pulse.openError().c_str());
    return 1;
  }
  const SymbolBuffers set = transmission.buffers();
  const std::int32_t unitMs = transmission.unitMs();
  if (opt.device == "sdl") {
    std::printf("device SDL: period %d samples, write latency %.1f ms\n", sdl.periodSamples(),
                sdl.latencyMs());
  } else {
    std::printf("device PulseAudio: target length %u, refill %u samples, write latency %.1f ms\n",
                pulse.targetLength(), pulse.refillSize(), pulse.latencyMs());
  }
  const auto latency =
      std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double, std::milli>(
          opt.device == "sdl" ? sdl.latencyMs() : pulse.latencyMs()));
  std::printf("speed %d, kind %d, %d groups: UnitMs %d, %d samples per unit; %d busy loops\n",
              opt.speed, opt.kind, opt.groups, unitMs, set.samplesPerUnit, opt.busy);
  std::fflush(stdout);
  std::string realtimeStatus;
  timer.run(
      [&] {
        if (realtimeStatus.empty() && opt.device != "sdl") realtimeStatus = pulse.realtimeStatus();
        if (opt.stallMs > 0 && transmission.symbolCounter() % 10 == 5) {
          pulse.stallFeedingThread(std::chrono::milliseconds(opt.stallMs));
        }
        transmission.tick();
      },
      std::chrono::hours(2));
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  recorder.stop();
  loops.clear();
  const std::string loadAfter = loadAverage();

  std::vector<int> sent;
  std::vector<double> writtenMs;
  for (const auto& w : device.writes) {
    sent.push_back(symbolOf(w.block, set));
    writtenMs.push_back(
        std::chrono::duration<double, std::milli>(w.at - device.writes[0].at).count());
  }
  const auto heard =
      testing::decodeSymbols(testing::findToneRuns(recorder.samples()), set.samplesPerUnit);
  std::vector<double> expected;
  for (const auto& w : device.writes) expected.push_back(recorder.sampleAt(w.moment + latency));
  const auto checks = testing::checkSymbols(heard, sent, expected, set.samplesPerUnit, 2.0);
  int broken = 0;
  for (std::size_t k = 0; k < checks.size(); ++k) {
    if (checks[k].intact) continue;
    ++broken;
    std::printf("symbol %zu (%s): heard \"%s\"\n", k, SymbolTable[sent[k]].elements,
                checks[k].heard.c_str());
  }

  std::vector<double> nominalError, delay;
  for (std::size_t k = 1; k < checks.size(); ++k) {
    const std::size_t c = k - 1;
    if (checks[k].onset < 0 || checks[c].onset < 0) continue;
    const int pause = c % 5 == 0 ? 4 * 2 : 4 * 1 - 4;  // the window's default pauses
    const double nominalMs = (pause + SymbolTable[sent[c]].length) * unitMs;
    const double heardMs =
        1000.0 * static_cast<double>(checks[k].onset - checks[c].onset) / kSampleRate;
    nominalError.push_back(heardMs - nominalMs);
    if (opt.verbose) {
      std::printf("interval %4zu: nominal %7.1f written %8.2f heard %8.2f ms\n", k, nominalMs,
                  writtenMs[k] - writtenMs[c], heardMs);
    }
  }
  for (std::size_t k = 0; k < checks.size(); ++k) {
    if (checks[k].onset < 0) continue;
    delay.push_back(std::chrono::duration<double, std::milli>(
                        recorder.timeOf(static_cast<double>(checks[k].onset)) - device.writes[k].at)
                        .count());
  }

  const Spread a = spreadOf(nominalError), w = spreadOf(delay), late = spreadOf(timer.lateness());
  const int underruns = opt.device == "sdl" ? -1 : static_cast<int>(pulse.underruns().size());
  std::printf("characters written %zu (with the start signal), heard symbols %zu\n", sent.size(),
              heard.size());
  for (const auto& u : pulse.underruns()) {
    std::printf("underrun %.3f s after the first write\n",
                std::chrono::duration<double>(u.at - device.writes[0].at).count());
  }
  if (underruns >= 0) {
    std::printf("underruns %d, late placements %d, clock jumps %d, feeding thread real-time: %s\n",
                underruns, pulse.latePlacements(), pulse.clockJumps(), realtimeStatus.c_str());
  } else {
    std::printf("underruns: not reported by SDL\n");
  }
  std::printf("broken characters %d\n", broken);
  std::printf("interval error [ms]: median %.2f  p99 %.2f  max %.2f  (%zu intervals)\n", a.median,
              a.p99, a.max, nominalError.size());
  std::printf("write to sound [ms]: median %.2f  p99 %.2f  max %.2f\n", w.median, w.p99, w.max);
  std::printf("timer ticks late [ms]: median %.2f  p99 %.2f  max %.2f\n", late.median, late.p99,
              late.max);
  const double rate = recorder.measuredRate();
  std::printf("sink clock %.2f samples/s (%+.0f ppm against nominal)\n", rate,
              (rate / kSampleRate - 1) * 1e6);
  // What an AC-coupled line output makes of it: steps of the mean level come out as thumps.
  const auto coupled = testing::highPass(testing::centred(recorder.samples()), recorder.rate(), 20);
  std::printf(
      "after a 20 Hz high-pass: %.3f %% of the energy below 300 Hz, %.1f %% at %d +- 100 Hz\n",
      100 * testing::bandShare(coupled, recorder.rate(), 0, 300),
      100 * testing::bandShare(coupled, recorder.rate(), controls.freq - 100, controls.freq + 100),
      controls.freq);
  std::printf("load average before %s, after %s\n", loadBefore.c_str(), loadAfter.c_str());
  return broken == 0 && underruns <= 0 ? 0 : 1;
}
