// The Windows program's sound end to end: plays a transmission through the waveOut device (run
// under Wine into a private PulseAudio null sink, recorded by tests/windows/wine_sound_test.sh),
// and compares a recording with the export of the same settings. Also the plain waveOut program
// that shows what Wine's own mixer does to a buffer, and the device's answer without a server.
//
//   wine_sound_check play DIR [GROUPS]    plays; writes DIR/export.u8 and DIR/sent.txt
//   wine_sound_check compare DIR RECORDING [exact|onsets]
//   wine_sound_check raw DIR              plays one second through waveOut alone; DIR/raw.u8
//   wine_sound_check raw-compare DIR RECORDING
//   wine_sound_check no-server            Play with no sound server: the program's message
//   wine_sound_check stall                the driver stops taking sound: nothing waits for long
// Each check prints what it found and a line "PASS name" or "FAIL name: why"; the exit code is
// the number of failures.
#include <windows.h>
// clang-format off
#include <mmsystem.h>
// clang-format on

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "export/transmission_plan.h"
#include "playback/settings.h"
#include "playback/transmission.h"
#include "sound/output_timeline.h"
#include "sound/wave_out_device_win32.h"
#include "synth/symbol_table.h"
#include "tests/fakes/fakes.h"
#include "tests/harness/realtime_timer.h"
#include "tests/harness/tone_analysis.h"

namespace kelvak {
namespace {

using testing::FakeControls;
using testing::RealtimeTimer;
using Clock = std::chrono::steady_clock;

int failures = 0;

void verdict(const std::string& name, bool ok, const std::string& why = {}) {
  if (ok) {
    std::printf("PASS %s\n", name.c_str());
  } else {
    std::printf("FAIL %s: %s\n", name.c_str(), why.c_str());
    ++failures;
  }
  std::fflush(stdout);
}

double msBetween(Clock::time_point a, Clock::time_point b) {
  return std::chrono::duration<double, std::milli>(b - a).count();
}

std::vector<std::uint8_t> readBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// The settings every run plays: the top speed, so that a millisecond is a large part of a unit.
FakeControls lessonControls(int groups) {
  FakeControls controls;
  controls.speedValue = 30;
  controls.freq = 800;
  controls.groupsText = std::to_string(groups);
  return controls;
}

std::size_t firstTone(const std::vector<std::uint8_t>& v, std::size_t from) {
  while (from < v.size() && v[from] == OutputTimeline::kCentreLevel) ++from;
  return from;
}

// Plays the lesson on the real clock through waveOut, the pane following the sound as the window's
// does, and writes the export of the same settings and generator beside what was sent.
int play(const std::string& dir, int groups) {
  const FakeControls controls = lessonControls(groups);
  Random planRandom;
  const TransmissionPlan plan = planTransmission(settingsFrom(controls), FileText{}, planRandom);
  std::vector<std::uint8_t> exported(static_cast<std::size_t>(plan.totalSamples));
  PlanRenderer renderer(plan);
  renderer.render(exported.data(), exported.size());
  writeBytes(dir + "/export.u8", exported);

  timeBeginPeriod(1);  // the timer's sleeps to the millisecond, as the window's timer queue
  RealtimeTimer timer;
  WaveOutDevice device;
  Random random;
  FakeControls live = controls;
  Transmission transmission(live, timer, device, random);
  transmission.play();
  if (!device.isOpen()) {
    verdict("play", false, "the device did not open: " + device.openError());
    return failures;
  }
  std::printf("lead %.1f ms\n", device.latencyMs());
  const double samplesPerUnit = transmission.buffers().samplesPerUnit;
  const bool finished = timer.run([&] { transmission.tick(); }, std::chrono::seconds(120),
                                  [&] { return transmission.followSound(); });
  timeEndPeriod(1);
  double latest = 0;
  for (double ms : timer.lateness()) latest = std::max(latest, ms);
  std::printf("ticks %zu, the latest %.1f ms after it fell due; late placements %d, clock jumps %d\n",
              timer.lateness().size(), latest, device.latePlacements(), device.clockJumps());

  std::ofstream sent(dir + "/sent.txt");
  sent << samplesPerUnit << '\n';
  for (const PlannedSymbol& s : plan.symbols) sent << s.index << ' ' << s.start << '\n';
  sent.close();
  verdict("play: the transmission ends and closes the device", finished && !device.isOpen(),
          finished ? "the device stayed open" : "it did not end within two minutes");
  verdict("play: the pane shows what was sent", live.pane == plan.answerKey,
          "pane \"" + live.pane + "\", sent \"" + plan.answerKey + "\"");
  verdict("play: no block came after its place", device.latePlacements() == 0,
          std::to_string(device.latePlacements()) + " did");
  // The process ends with the device's close still playing out on its thread: give it the time.
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  return failures;
}

// The recording against the export: sample for sample from the first tone sample to the end
// (exact), and always every symbol whole, in the order sent, each onset within 1 ms of the
// export's counted from the first.
int compare(const std::string& dir, const std::string& recordingPath, bool exact) {
  const std::vector<std::uint8_t> exported = readBytes(dir + "/export.u8");
  const std::vector<std::uint8_t> recording = readBytes(recordingPath);
  std::ifstream sentFile(dir + "/sent.txt");
  double samplesPerUnit = 0;
  sentFile >> samplesPerUnit;
  std::vector<int> sent;
  std::vector<double> starts;
  int index = 0;
  std::int64_t start = 0;
  while (sentFile >> index >> start) {
    sent.push_back(index);
    starts.push_back(static_cast<double>(start));
  }
  if (exported.empty() || sent.empty() || samplesPerUnit <= 0) {
    verdict("compare", false, "no export or no list of what was sent in " + dir);
    return failures;
  }

  const std::size_t e0 = firstTone(exported, static_cast<std::size_t>(starts[0]));
  const std::size_t r0 = firstTone(recording, 0);
  const std::size_t n = exported.size() - e0;
  std::size_t differing = 0, first = n, compared = 0;
  if (r0 < recording.size()) {
    compared = std::min(n, recording.size() - r0);
    for (std::size_t j = 0; j < compared; ++j) {
      if (recording[r0 + j] == exported[e0 + j]) continue;
      ++differing;
      first = std::min(first, j);
    }
  }
  std::printf("recording %zu samples; from the first tone sample %zu of the export's %zu samples "
              "recorded, %zu of them differ",
              recording.size(), compared, n, differing);
  if (differing > 0) std::printf(" (the first at %zu, %.1f ms in)", first, first * 1000.0 / kSampleRate);
  std::printf("\n");

  // Decoded: the same groups, every element intact, every onset where the export has it.
  const auto heard = testing::decodeSymbols(testing::findToneRuns(recording), samplesPerUnit);
  std::string text;
  for (const auto& h : heard) {
    auto it = std::find_if(SymbolTable.begin(), SymbolTable.end(),
                           [&](const Symbol& s) { return h.elements == s.elements; });
    text += it == SymbolTable.end() ? "?" : displayUtf8(static_cast<int>(it - SymbolTable.begin()));
  }
  std::string sentText;
  for (int s : sent) sentText += displayUtf8(s);
  std::printf("sent    %s\ndecoded %s\n", sentText.c_str(), text.c_str());
  std::vector<double> expected = starts;
  if (!heard.empty()) {
    for (double& e : expected) e += static_cast<double>(heard[0].onset) - starts[0];
  }
  const auto checks = testing::checkSymbols(heard, sent, expected, samplesPerUnit, 2.0);
  int broken = 0;
  double worst = 0;
  for (std::size_t k = 0; k < checks.size(); ++k) {
    if (!checks[k].intact) ++broken;
    const double off = checks[k].onset < 0 ? 1e9 : std::abs(checks[k].onset - expected[k]);
    worst = std::max(worst, off);
  }
  std::printf("symbols %zu sent, %zu heard, %d not intact; the onset furthest from the export's "
              "%.2f ms\n",
              sent.size(), heard.size(), broken, worst * 1000.0 / kSampleRate);
  verdict("compare: the recording decodes to what was sent, every element intact",
          heard.size() == sent.size() && broken == 0 && text == sentText,
          std::to_string(broken) + " symbols not intact");
  verdict("compare: every onset within 1 ms of the export's", worst <= kSampleRate / 1000.0,
          "one is " + std::to_string(worst * 1000.0 / kSampleRate) + " ms off");
  if (exact) {
    verdict("compare: the recording equals the export sample for sample",
            compared == n && differing == 0,
            std::to_string(differing) + " of " + std::to_string(n) + " samples differ, " +
                std::to_string(n - compared) + " missing");
  }
  return failures;
}

// One second of a pattern that never rests on the silent level, through waveOut alone: a buffer
// written whole, as the plain program the device's figures are measured against.
std::vector<std::uint8_t> rawPattern() {
  std::vector<std::uint8_t> v(kSampleRate);
  for (std::size_t k = 0; k < v.size(); ++k) {
    const auto level = static_cast<std::uint8_t>(k % 97 + 20);  // 20..116, below the centre
    v[k] = k % 2 ? level : static_cast<std::uint8_t>(255 - level);
  }
  return v;
}

int raw(const std::string& dir) {
  std::vector<std::uint8_t> buffer = rawPattern();
  writeBytes(dir + "/raw.u8", buffer);
  WAVEFORMATEX format{WAVE_FORMAT_PCM, 1, kSampleRate, kSampleRate, 1, 8, 0};
  HWAVEOUT out = nullptr;
  if (waveOutOpen(&out, WAVE_MAPPER, &format, 0, 0, CALLBACK_NULL) != MMSYSERR_NOERROR) {
    verdict("raw", false, "waveOutOpen failed");
    return failures;
  }
  WAVEHDR header{};
  header.lpData = reinterpret_cast<LPSTR>(buffer.data());
  header.dwBufferLength = static_cast<DWORD>(buffer.size());
  waveOutPrepareHeader(out, &header, sizeof header);
  waveOutWrite(out, &header, sizeof header);
  const auto until = Clock::now() + std::chrono::seconds(5);
  while (!(header.dwFlags & WHDR_DONE) && Clock::now() < until) Sleep(10);
  Sleep(300);
  waveOutReset(out);
  waveOutUnprepareHeader(out, &header, sizeof header);
  waveOutClose(out);
  verdict("raw: waveOut played the buffer", (header.dwFlags & WHDR_DONE) != 0, "not done in 5 s");
  return failures;
}

// What the plain waveOut program's second became: samples at their place, silence put in.
int rawCompare(const std::string& dir, const std::string& recordingPath) {
  const std::vector<std::uint8_t> buffer = readBytes(dir + "/raw.u8");
  const std::vector<std::uint8_t> recording = readBytes(recordingPath);
  const std::size_t r0 = firstTone(recording, 0);
  std::size_t equal = 0, inserted = 0, gaps = 0, longest = 0;
  std::size_t j = r0, k = 0;
  // Walk both: a run of the silent level in the recording is silence Wine put in.
  while (k < buffer.size() && j < recording.size()) {
    if (recording[j] == OutputTimeline::kCentreLevel) {
      std::size_t run = 0;
      while (j < recording.size() && recording[j] == OutputTimeline::kCentreLevel) ++j, ++run;
      if (j >= recording.size()) break;
      inserted += run;
      ++gaps;
      longest = std::max(longest, run);
      continue;
    }
    if (recording[j] == buffer[k]) ++equal;
    ++j, ++k;
  }
  const std::size_t atPlace = [&] {
    std::size_t same = 0;
    for (std::size_t m = 0; m < buffer.size() && r0 + m < recording.size(); ++m)
      same += recording[r0 + m] == buffer[m];
    return same;
  }();
  std::printf("plain waveOut: %zu of %zu samples at their place; %zu equal once silence put in "
              "is skipped; %zu gaps of silence, %zu samples (%.1f ms), the longest %zu\n",
              atPlace, buffer.size(), equal, gaps, inserted, inserted * 1000.0 / kSampleRate,
              longest);
  verdict("raw-compare: every sample of the buffer came through", equal == buffer.size(),
          std::to_string(buffer.size() - equal) + " lost or changed");
  return failures;
}

// No sound server: Play shows the program's message at once, and the device says why.
int noServer() {
  FakeControls controls = lessonControls(1);
  RealtimeTimer timer;
  WaveOutDevice device;
  Random random;
  Transmission transmission(controls, timer, device, random);
  const auto start = Clock::now();
  transmission.play();
  std::printf("Play without a server answered after %.0f ms; the device said \"%s\"\n",
              msBetween(start, Clock::now()), device.openError().c_str());
  verdict("no-server: Play shows the program's message",
          !device.isOpen() && controls.messages.size() == 1 &&
              controls.messages[0].first == kOpenErrorText && controls.playEnabled,
          controls.messages.empty() ? "no message" : "\"" + controls.messages[0].first + "\"");
  return failures;
}

// The driver stops taking sound (the script freezes the server once the file `DIR/frozen` is
// asked for by the line "freeze"): the transmission ends with the device's message, and the wait
// for the sound gives up instead of holding the window.
int stall(const std::string& dir) {
  FakeControls controls = lessonControls(5);
  RealtimeTimer timer;
  WaveOutDevice device;
  Random random;
  Transmission transmission(controls, timer, device, random);
  transmission.play();
  if (!device.isOpen()) {
    verdict("stall", false, "the device did not open: " + device.openError());
    return failures;
  }
  int ticks = 0;
  double longestTick = 0;
  const bool finished = timer.run(
      [&] {
        if (++ticks == 8) {
          std::printf("freeze\n");
          std::fflush(stdout);
          // The script answers by freezing the server, then making this file.
          const auto until = Clock::now() + std::chrono::seconds(20);
          while (GetFileAttributesA((dir + "/frozen").c_str()) == INVALID_FILE_ATTRIBUTES &&
                 Clock::now() < until) {
            Sleep(10);
          }
        }
        const auto start = Clock::now();
        transmission.tick();
        longestTick = std::max(longestTick, msBetween(start, Clock::now()));
      },
      std::chrono::seconds(60));
  std::printf("after %d ticks: stalled %d, the longest tick %.0f ms, messages %zu\n", ticks,
              device.stalled() ? 1 : 0, longestTick, controls.messages.size());
  verdict("stall: the transmission ends with the program's message",
          finished && !device.isOpen() && !controls.messages.empty() &&
              controls.messages[0].first == kOpenErrorText,
          finished ? "no message" : "it ran on for a minute");
  return failures;
}

}  // namespace
}  // namespace kelvak

int main(int argc, char** argv) {
  using namespace kelvak;
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (args.size() >= 2 && args[0] == "play") {
    return play(args[1], args.size() >= 3 ? std::stoi(args[2]) : 3);
  }
  if (args.size() >= 3 && args[0] == "compare") {
    return compare(args[1], args[2], args.size() < 4 || args[3] == "exact");
  }
  if (args.size() >= 2 && args[0] == "raw") return raw(args[1]);
  if (args.size() >= 3 && args[0] == "raw-compare") return rawCompare(args[1], args[2]);
  if (args.size() >= 1 && args[0] == "no-server") return noServer();
  if (args.size() >= 2 && args[0] == "stall") return stall(args[1]);
  std::fprintf(stderr, "usage: see the head of tests/windows/wine_sound_check.cpp\n");
  return 2;
}
