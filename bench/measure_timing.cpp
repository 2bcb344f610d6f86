// Measures how faithfully the real sound device plays a transmission: plays one through a private
// sound server (PulseAudio, or PipeWire resampling to its graph's rate) whose null sink runs at the
// program's own rate, records the sink and compares
// the recording with the export of the same settings and generator: the samples that differ from
// the first tone sample to the end of the last block, the broken characters, the error of the
// intervals between onsets against the export's, and how far from its first tone sample each
// character appeared in the pane. Figures, not pass or fail.
//
//   kelvak_measure_timing [--speed N] [--groups N] [--kind K] [--text DIGITS] [--long-zero 0|1]
//                         [--realtime 0|1] [--busy N] [--busy-apart 0|1] [--stall MS]
//                         [--sigstop MS] [--server pulseaudio|pipewire] [--graph-rate HZ]
//                         [--recorder-latency MS] [--verbose 1]
// --text sends the given text from a file instead of random groups (whole groups only);
// --busy N runs N busy loops (sh -c 'while :; do :; done') for the whole measurement, each in a
// session of its own like any program a user starts apart (--busy-apart 0: in this program's own
// session, where the kernel shares the processors among them and the timer's thread directly);
// --stall MS holds the PulseAudio device's feeding thread for MS every ten symbols; --sigstop MS
// stops this whole program with SIGSTOP for MS once a second (SIGCONT from a helper process);
// --server picks the server (PulseAudio by default); --graph-rate forces PipeWire's graph to a
// rate;
// --recorder-latency MS is what the server may keep for the recorder (5 by default, short enough
// for the pane's figures; 0: parec's own choice): a recording that lost samples says so.
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "export/transmission_plan.h"
#include "playback/settings.h"
#include "playback/transmission.h"
#include "sound/output_timeline.h"
#include "sound/pulse_wave_device.h"
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
  std::string text;
  bool longZero = false;
  bool realtime = true;
  int busy = 0;
  bool busyApart = true;
  int stallMs = 0;
  int sigstopMs = 0;
  bool verbose = false;
  testing::ServerKind server = testing::ServerKind::PulseAudio;
  int graphRate = 0;
  int recorderLatencyMs = 5;
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
    else if (name == "--text")
      o.text = text;
    else if (name == "--long-zero")
      o.longZero = value != 0;
    else if (name == "--realtime")
      o.realtime = value != 0;
    else if (name == "--busy")
      o.busy = value;
    else if (name == "--busy-apart")
      o.busyApart = value != 0;
    else if (name == "--stall")
      o.stallMs = value;
    else if (name == "--sigstop")
      o.sigstopMs = value;
    else if (name == "--verbose")
      o.verbose = value != 0;
    else if (name == "--server" && (text == "pulseaudio" || text == "pipewire"))
      o.server =
          text == "pipewire" ? testing::ServerKind::PipeWire : testing::ServerKind::PulseAudio;
    else if (name == "--graph-rate")
      o.graphRate = value;
    else if (name == "--recorder-latency")
      o.recorderLatencyMs = value;
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

std::string loadAverage() {
  std::ifstream in("/proc/loadavg");
  std::string a, b, c;
  in >> a >> b >> c;
  return a + " " + b + " " + c;
}

// The first sample from `from` on that leaves the centre level, which the output holds before
// the first tone.
std::size_t firstTone(const std::vector<std::uint8_t>& v, std::size_t from) {
  while (from < v.size() && v[from] == OutputTimeline::kCentreLevel) ++from;
  return from;
}

// The window's pane, noting when each piece of text arrived.
struct TimedControls : testing::FakeControls {
  std::vector<std::pair<Clock::time_point, std::string>> appended;
  void appendText(const std::string& utf8) override {
    appended.emplace_back(Clock::now(), utf8);
    FakeControlsOf::appendText(utf8);
  }
};

}  // namespace

int main(int argc, char** argv) {
  const Options opt = parse(argc, argv);
  testing::PulseServer server(opt.server, opt.graphRate);
  std::string error;
  if (!server.start(&error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  server.useForThisProcess();
  testing::MonitorRecorder recorder(server, opt.recorderLatencyMs);
  if (!recorder.start(&error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  std::vector<std::unique_ptr<testing::ChildProcess>> helpers;
  for (int i = 0; i < opt.busy; ++i) {
    helpers.push_back(std::make_unique<testing::ChildProcess>());
    if (!helpers.back()->start({"sh", "-c", "while :; do :; done"}, {}, false, "", &error,
                               opt.busyApart)) {
      std::fprintf(stderr, "%s\n", error.c_str());
      return 1;
    }
  }

  TimedControls controls;
  controls.speedValue = opt.speed;
  controls.kind = opt.kind;
  controls.freq = 800;
  controls.groupsText = std::to_string(opt.groups);
  controls.longZeroChecked = opt.longZero;
  testing::RealtimeTimer timer;
  PulseWaveDevice pulse(PulseWaveDevice::Options{opt.realtime});
  testing::RecordingDevice device(pulse);
  Random random;
  Transmission transmission(controls, timer, device, random);
  FileText text;
  const std::string textPath =
      (std::filesystem::temp_directory_path() / ("kelvak_timing_" + std::to_string(getpid())))
          .string();
  if (!opt.text.empty()) {
    std::ofstream(textPath, std::ios::binary) << opt.text;
    transmission.loadFile(textPath);
    text = readFileText(textPath);
    std::filesystem::remove(textPath);
  }
  TransmissionSettings settings = settingsFrom(controls);
  Random planRandom;
  const TransmissionPlan plan = planTransmission(settings, text, planRandom);
  std::vector<std::uint8_t> exported(static_cast<std::size_t>(plan.totalSamples));
  PlanRenderer(plan).render(exported.data(), exported.size());

  if (opt.sigstopMs > 0) {
    const std::string stopper = "while :; do sleep 0.9; kill -STOP " + std::to_string(getpid()) +
                                "; sleep " + std::to_string(opt.sigstopMs / 1000.0) +
                                "; kill -CONT " + std::to_string(getpid()) + "; done";
    helpers.push_back(std::make_unique<testing::ChildProcess>());
    if (!helpers.back()->start({"sh", "-c", stopper}, {}, false, "", &error, true)) {
      std::fprintf(stderr, "%s\n", error.c_str());
      return 1;
    }
  }

  const std::string loadBefore = loadAverage();
  transmission.play();
  if (!device.isOpen()) {
    std::fprintf(stderr, "the sound device did not open: %s\n", pulse.openError().c_str());
    return 1;
  }
  const SymbolBuffers set = transmission.buffers();
  std::printf(
      "server %s%s; device: target length %u, refill %u samples, lead %.1f ms\n",
      testing::serverName(opt.server),
      opt.graphRate > 0 ? (", graph at " + std::to_string(opt.graphRate) + " Hz").c_str() : "",
      pulse.targetLength(), pulse.refillSize(), pulse.latencyMs());
  std::printf("speed %d, kind %d, %zu symbols: UnitMs %d, %d samples per unit; %d busy loops%s\n",
              opt.speed, opt.kind, plan.symbols.size(), transmission.unitMs(), set.samplesPerUnit,
              opt.busy, opt.sigstopMs > 0 ? "; stopped once a second" : "");
  std::fflush(stdout);
  std::string realtimeStatus;
  timer.run(
      [&] {
        if (realtimeStatus.empty()) realtimeStatus = pulse.realtimeStatus();
        if (opt.stallMs > 0 && transmission.symbolCounter() % 10 == 5) {
          pulse.stallFeedingThread(std::chrono::milliseconds(opt.stallMs));
        }
        transmission.tick();
      },
      std::chrono::hours(2), [&] { return transmission.followSound(); });
  recorder.markEnd();
  helpers.clear();
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  recorder.stop();
  const std::string loadAfter = loadAverage();

  // The recording against the export, aligned by the first tone sample.
  const std::vector<std::uint8_t> recorded = recorder.samples();
  const std::size_t e0 = firstTone(exported, static_cast<std::size_t>(plan.symbols[0].start));
  const std::size_t r0 = firstTone(recorded, 0);
  const std::size_t n = exported.size() - std::min(e0, exported.size());
  std::size_t differing = 0, compared = 0;
  long firstDiff = -1;
  for (std::size_t j = 0; j < n && r0 + j < recorded.size(); ++j, ++compared) {
    if (recorded[r0 + j] == exported[e0 + j]) continue;
    if (firstDiff < 0) firstDiff = static_cast<long>(j);
    ++differing;
  }
  auto inRecording = [&](std::int64_t exportIndex) {
    return static_cast<double>(r0) +
           static_cast<double>(exportIndex - static_cast<std::int64_t>(e0));
  };

  // Symbols heard, paired with the planned ones by their expected places.
  std::vector<int> sent;
  std::vector<double> expected;
  for (const PlannedSymbol& s : plan.symbols) {
    sent.push_back(s.index);
    expected.push_back(inRecording(
        static_cast<std::int64_t>(firstTone(exported, static_cast<std::size_t>(s.start)))));
  }
  const auto heard = testing::decodeSymbols(testing::findToneRuns(recorded), set.samplesPerUnit);
  const auto checks =
      testing::checkSymbols(heard, sent, expected, set.samplesPerUnit, server.tolerance());
  int broken = 0;
  for (std::size_t k = 0; k < checks.size(); ++k) {
    if (checks[k].intact) continue;
    ++broken;
    std::printf("symbol %zu (%s): heard \"%s\"", k, SymbolTable[sent[k]].elements,
                checks[k].heard.c_str());
    for (const auto& h : heard) {
      if (h.onset != checks[k].onset) continue;
      std::printf("; tones");
      for (double u : h.toneUnits) std::printf(" %.3f", u);
      std::printf("; gaps");
      for (double u : h.gapUnits) std::printf(" %.3f", u);
    }
    std::printf("\n");
  }
  std::vector<double> placeError;  // each onset against the export's, from the first [ms]
  for (std::size_t k = 0; k < checks.size(); ++k) {
    if (checks[k].onset < 0 || checks[0].onset < 0) continue;
    placeError.push_back(
        1000.0 *
        (static_cast<double>(checks[k].onset - checks[0].onset) - (expected[k] - expected[0])) /
        kSampleRate);
  }
  std::vector<double> onsetError;  // consecutive onsets against the export's [ms]
  for (std::size_t k = 1; k < checks.size(); ++k) {
    if (checks[k].onset < 0 || checks[k - 1].onset < 0) continue;
    const double heardGap = static_cast<double>(checks[k].onset - checks[k - 1].onset);
    onsetError.push_back(1000.0 * (heardGap - (expected[k] - expected[k - 1])) / kSampleRate);
    if (opt.verbose) std::printf("interval %4zu off by %7.3f ms\n", k, onsetError.back());
  }

  // The pane: each character against its block's first tone sample in the recording.
  std::vector<double> paneOffset;
  double earliest = 1e9;
  std::size_t character = 0;
  for (const auto& [at, piece] : controls.appended) {
    for (char ch : piece) {
      if (ch == ' ') continue;
      const std::size_t k = ++character;  // the start signal is symbol 0 and never shown
      if (k >= expected.size()) break;
      const double ms =
          std::chrono::duration<double, std::milli>(at - recorder.timeOf(expected[k])).count();
      paneOffset.push_back(ms);
      earliest = std::min(earliest, ms);
    }
  }

  const Spread place = spreadOf(placeError);
  std::printf("onsets against the export's, from the first [ms]: median %.3f  p99 %.3f  max %.3f\n",
              place.median, place.p99, place.max);
  const Spread onset = spreadOf(onsetError), pane = spreadOf(paneOffset),
               late = spreadOf(timer.lateness());
  const std::string lost = recorder.lossReport();
  std::printf("recording: %s\n", lost.empty() ? "nothing lost" : lost.c_str());
  std::printf("samples compared %zu (first tone to the end of the last block), differing %zu%s\n",
              compared, differing, compared < n ? " (the recording ended early)" : "");
  if (firstDiff >= 0) std::printf("first difference at sample %ld\n", firstDiff);
  std::printf("symbols planned %zu, heard %zu, broken %d\n", sent.size(), heard.size(), broken);
  for (const auto& u : pulse.underruns()) {
    std::printf("underrun %.3f s after the first write\n",
                std::chrono::duration<double>(u.at - device.writes[0].at).count());
  }
  std::printf("underruns %zu, late placements %d, clock jumps %d, feeding thread real-time: %s\n",
              pulse.underruns().size(), pulse.latePlacements(), pulse.clockJumps(),
              realtimeStatus.c_str());
  std::printf(
      "consecutive onsets against the export [ms]: median %.3f  p99 %.3f  max %.3f  (%zu)\n",
      onset.median, onset.p99, onset.max, onsetError.size());
  std::printf(
      "pane after its first tone sample [ms]: median %.2f  p99 %.2f  max %.2f  earliest "
      "%.2f  (%zu characters)\n",
      pane.median, pane.p99, pane.max, paneOffset.empty() ? 0.0 : earliest, paneOffset.size());
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
  return differing == 0 && broken == 0 ? 0 : 1;
}
