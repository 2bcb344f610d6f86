// Measures how precisely the real sound device reproduces a transmission's rhythm: plays one
// through a private PulseAudio server, records the server's output and compares the moments the
// symbols start with their nominal intervals. Figures, not pass or fail.
//
//   kelvak_measure_timing [--speed N] [--groups N] [--kind K] [--period SAMPLES] [--verbose 1]
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "tests/fakes/fakes.h"
#include "tests/harness/monitor_recorder.h"
#include "tests/harness/pulse_server.h"
#include "tests/harness/realtime_timer.h"
#include "tests/harness/recording_device.h"
#include "sound/sdl_wave_device.h"
#include "synth/symbol_table.h"
#include "tests/harness/tone_analysis.h"
#include "playback/transmission.h"

namespace {

using namespace kelvak;
using Clock = std::chrono::steady_clock;

struct Options {
  int speed = 30;
  int groups = 20;
  int kind = 0;
  int period = SdlWaveDevice::kPeriod;
  bool verbose = false;
};

Options parse(int argc, char** argv) {
  Options o;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string name = argv[i];
    const int value = std::atoi(argv[i + 1]);
    if (name == "--speed")
      o.speed = value;
    else if (name == "--groups")
      o.groups = value;
    else if (name == "--kind")
      o.kind = value;
    else if (name == "--period")
      o.period = value;
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
  double median, p99, max;
};

Spread spreadOf(std::vector<double> v) {
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

  testing::FakeControls controls;
  controls.speedValue = opt.speed;
  controls.kind = opt.kind;
  controls.freq = 800;
  controls.groupsText = std::to_string(opt.groups);
  testing::RealtimeTimer timer;
  SdlWaveDevice sdl(opt.period);
  testing::RecordingDevice device(sdl);
  Random random;
  Transmission transmission(controls, timer, device, random);

  transmission.play();
  if (!device.isOpen()) {
    std::fprintf(stderr, "the sound device did not open\n");
    return 1;
  }
  const SymbolBuffers set = transmission.buffers();
  const std::int32_t unitMs = transmission.unitMs();
  const double latencyMs = sdl.latencyMs();
  const int period = sdl.periodSamples();
  std::printf(
      "speed %d, kind %d, %d groups: UnitMs %d, %d samples per unit; period %d samples,"
      " write latency %.1f ms\n",
      opt.speed, opt.kind, opt.groups, unitMs, set.samplesPerUnit, period, latencyMs);
  std::fflush(stdout);
  timer.run([&] { transmission.tick(); }, std::chrono::hours(1));
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  recorder.stop();

  const auto heard =
      testing::decodeSymbols(testing::findToneRuns(recorder.samples()), set.samplesPerUnit);
  if (heard.size() != device.writes.size()) {
    std::fprintf(stderr, "heard %zu symbols, wrote %zu\n", heard.size(), device.writes.size());
    return 1;
  }
  std::vector<int> sent;
  int mismatches = 0;
  for (std::size_t k = 0; k < heard.size(); ++k) {
    sent.push_back(symbolOf(device.writes[k].block, set));
    if (heard[k].elements != SymbolTable[sent[k]].elements) {
      ++mismatches;
      std::printf("symbol %zu: heard %s, sent %s; tones", k, heard[k].elements.c_str(),
                  SymbolTable[sent[k]].elements);
      for (double u : heard[k].toneUnits) std::printf(" %.3f", u);
      std::printf("; gaps");
      for (double u : heard[k].gapUnits) std::printf(" %.3f", u);
      std::printf(" [units]\n");
    }
  }

  const double rate = recorder.measuredRate();
  std::vector<double> nominalError, sinkClockError, deviceError, delay;
  for (std::size_t k = 1; k < heard.size(); ++k) {
    const std::size_t c = k - 1;
    const int pause = c % 5 == 0 ? 4 * 2 : 4 * 1 - 4;  // the window's default pauses
    const double nominalMs = (pause + SymbolTable[sent[c]].length) * unitMs;
    const auto samples = static_cast<double>(heard[k].onset - heard[k - 1].onset);
    const double heardMs = 1000.0 * samples / kSampleRate;
    const double writtenMs =
        std::chrono::duration<double, std::milli>(device.writes[k].at - device.writes[c].at)
            .count();
    nominalError.push_back(heardMs - nominalMs);
    sinkClockError.push_back(1000.0 * samples / rate - nominalMs);
    deviceError.push_back(1000.0 * samples / rate - writtenMs);
    if (opt.verbose) {
      std::printf("interval %3zu: nominal %7.1f written %8.2f heard %8.2f ms (sink clock)\n", k,
                  nominalMs, writtenMs, 1000.0 * samples / rate);
    }
  }
  for (std::size_t k = 0; k < heard.size(); ++k) {
    delay.push_back(std::chrono::duration<double, std::milli>(
                        recorder.timeOf(static_cast<double>(heard[k].onset)) - device.writes[k].at)
                        .count());
  }

  const Spread a = spreadOf(nominalError), b = spreadOf(sinkClockError), d = spreadOf(deviceError);
  const Spread w = spreadOf(delay);
  const double minDelay = *std::min_element(delay.begin(), delay.end());
  std::printf("symbols heard %zu, element mismatches %d\n", heard.size(), mismatches);
  std::printf("sink clock %.2f samples/s (%+.0f ppm against nominal)\n", rate,
              (rate / kSampleRate - 1) * 1e6);
  std::printf(
      "interval error vs nominal, sink samples at 11025/s [ms]: median %.2f  p99 %.2f  "
      "max %.2f  (%zu intervals)\n",
      a.median, a.p99, a.max, nominalError.size());
  std::printf(
      "interval error vs nominal, on the sink's own clock [ms]: median %.2f  p99 %.2f  "
      "max %.2f\n",
      b.median, b.p99, b.max);
  std::printf(
      "interval error vs moments written, sink clock [ms]:      median %.2f  p99 %.2f  "
      "max %.2f\n",
      d.median, d.p99, d.max);
  std::printf("write to sound [ms]: min %.2f  median %.2f  max %.2f\n", minDelay, w.median, w.max);
  const Spread late = spreadOf(timer.lateness());
  std::printf("timer ticks late [ms]: median %.2f  p99 %.2f  max %.2f\n", late.median, late.p99,
              late.max);
  return mismatches == 0 ? 0 : 1;
}
