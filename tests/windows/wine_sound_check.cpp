// The Windows program's sound end to end: plays a transmission through the waveOut device (run
// under Wine into a private PulseAudio null sink, recorded by tests/windows/wine_sound_test.sh),
// and compares a recording with the export of the same settings. Also the plain waveOut program
// that shows what Wine's own mixer does to a buffer, and the device's answer without a server.
//
//   wine_sound_check play DIR [GROUPS]    plays; writes DIR/export.u8 and DIR/sent.txt
//   wine_sound_check compare DIR RECORDING [onsets]
//   wine_sound_check raw DIR              plays one second through waveOut alone; DIR/raw.u8
//   wine_sound_check raw-compare DIR RECORDING   figures only
//   wine_sound_check no-server            Play with no sound server: the program's message
//   wine_sound_check stall DIR            the server freezes: nothing waits for long
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
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
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
  std::printf(
      "ticks %zu, the latest %.1f ms after it fell due; late placements %d, clock jumps %d, "
      "the queue ran dry %d times\n",
      timer.lateness().size(), latest, device.latePlacements(), device.clockJumps(),
      device.dryRuns());

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
  // The device's own queue bridged every delay of its thread, so whatever gap the recording holds
  // is not the program's.
  verdict("play: the device's queue never ran dry", device.dryRuns() == 0,
          std::to_string(device.dryRuns()) + " times");
  // The process ends with the device's close still playing out on its thread: give it the time.
  std::this_thread::sleep_for(WaveOutDevice::kDrainLimit + std::chrono::milliseconds(100));
  return failures;
}

// Wine's PulseAudio driver fills a gap in its own stream (its thread came too late to hand the
// server more) with samples of 0, in runs of some tens to thousands. The program never makes such a
// run: its silence is the centre level, and its tone touches 0 for a sample or two at a time.
constexpr std::size_t kWineFillRun = 8;

struct WineFills {
  std::vector<std::uint8_t> rest;  // the recording without them
  std::size_t count = 0, samples = 0;
  std::size_t before = 0;  // of them, before `from` in the recording
};

WineFills removeWineFills(const std::vector<std::uint8_t>& recording, std::size_t from) {
  WineFills f;
  for (std::size_t j = 0; j < recording.size();) {
    std::size_t run = 0;
    while (j + run < recording.size() && recording[j + run] == 0) ++run;
    if (run >= kWineFillRun) {
      ++f.count;
      f.samples += run;
      if (j < from) ++f.before;
    } else {
      f.rest.insert(
          f.rest.end(), recording.begin() + static_cast<std::ptrdiff_t>(j),
          recording.begin() + static_cast<std::ptrdiff_t>(j + std::max<std::size_t>(run, 1)));
    }
    j += std::max<std::size_t>(run, 1);
  }
  return f;
}

// The recording against the export. Sample for sample from the first tone sample to the end;
// where Wine's mixer filled gaps of its own inside the transmission, that cannot hold, and then
// (and always with `onsets`) with Wine's fills taken out, every symbol whole, in the order sent,
// its onset within 1 ms of the export's counted from the first.
int compare(const std::string& dir, const std::string& recordingPath, bool onsetsOnly) {
  const std::vector<std::uint8_t> exported = readBytes(dir + "/export.u8");
  const std::vector<std::uint8_t> recorded = readBytes(recordingPath);
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

  // Where the transmission starts in the recording: the first sample off the centre level that is
  // not one of Wine's fills, which it may put in the silence before.
  const WineFills all = removeWineFills(recorded, recorded.size());
  const std::size_t first = firstTone(all.rest, 0);
  std::size_t toneStart = 0;  // the same sample in the recording itself
  for (std::size_t kept = 0, j = 0; j < recorded.size(); ++j) {
    std::size_t run = 0;
    while (j + run < recorded.size() && recorded[j + run] == 0) ++run;
    if (run >= kWineFillRun) {
      j += run - 1;
      continue;
    }
    if (kept++ == first) {
      toneStart = j;
      break;
    }
  }
  const WineFills fills = removeWineFills(recorded, toneStart);
  const std::size_t fillsInside = fills.count - fills.before;
  std::printf(
      "Wine's mixer filled %zu gaps of its own with %zu samples (%.1f ms), %zu of them inside "
      "the transmission\n",
      fills.count, fills.samples, fills.samples * 1000.0 / kSampleRate, fillsInside);

  const std::size_t e0 = firstTone(exported, static_cast<std::size_t>(starts[0]));
  const std::size_t n = exported.size() - e0;
  std::size_t differing = 0, firstDiff = n, compared = 0;
  if (toneStart < recorded.size()) {
    compared = std::min(n, recorded.size() - toneStart);
    for (std::size_t j = 0; j < compared; ++j) {
      if (recorded[toneStart + j] == exported[e0 + j]) continue;
      ++differing;
      firstDiff = std::min(firstDiff, j);
    }
  }
  std::printf(
      "sample for sample: of the export's %zu samples from its first tone sample, %zu "
      "recorded, %zu of them differ",
      n, compared, differing);
  if (differing > 0) {
    std::printf(" (the first %.1f ms in)", firstDiff * 1000.0 / kSampleRate);
  }
  std::printf("\n");

  // Decoded, Wine's fills taken out: the same groups, every element intact, every onset where the
  // export has it.
  const auto heard = testing::decodeSymbols(testing::findToneRuns(fills.rest), samplesPerUnit);
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
  std::printf(
      "symbols %zu sent, %zu heard, %d not intact; the onset furthest from the export's "
      "%.2f ms off\n",
      sent.size(), heard.size(), broken, worst * 1000.0 / kSampleRate);
  verdict("compare: the recording decodes to what was sent, every element intact",
          heard.size() == sent.size() && broken == 0 && text == sentText,
          std::to_string(broken) + " symbols not intact, decoded \"" + text + "\"");
  verdict("compare: every onset within 1 ms of the export's", worst <= kSampleRate / 1000.0,
          "one is " + std::to_string(worst * 1000.0 / kSampleRate) + " ms off");
  if (onsetsOnly) return failures;
  if (fillsInside > 0) {
    std::printf("not judged sample for sample: Wine's mixer put %zu gaps into the sound\n",
                fillsInside);
    return failures;
  }
  verdict("compare: the recording equals the export sample for sample",
          compared == n && differing == 0,
          std::to_string(differing) + " of " + std::to_string(n) + " samples differ, " +
              std::to_string(n - compared) + " missing");
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
// Figures of Wine's mixer alone; the program is not judged by them.
int rawCompare(const std::string& dir, const std::string& recordingPath) {
  const std::vector<std::uint8_t> buffer = readBytes(dir + "/raw.u8");
  const std::vector<std::uint8_t> recording = readBytes(recordingPath);
  // The pattern never holds the centre level nor 0: its first sample is the first of neither.
  std::size_t r0 = 0;
  while (r0 < recording.size() &&
         (recording[r0] == OutputTimeline::kCentreLevel || recording[r0] == 0)) {
    ++r0;
  }
  std::size_t equal = 0, inserted = 0, gaps = 0, longest = 0;
  std::size_t j = r0, k = 0;
  // Walk both: a run of the silent level, or of Wine's fill, is silence Wine put in.
  while (k < buffer.size() && j < recording.size()) {
    const std::uint8_t level = recording[j];
    if (level == OutputTimeline::kCentreLevel || level == 0) {
      std::size_t run = 0;
      while (j + run < recording.size() && recording[j + run] == level) ++run;
      if (j + run >= recording.size()) break;
      if (level == OutputTimeline::kCentreLevel || run >= kWineFillRun) {
        inserted += run;
        ++gaps;
        longest = std::max(longest, run);
        j += run;
        continue;
      }
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
  std::printf(
      "plain waveOut: %zu of %zu samples at their place; %zu equal once silence put in "
      "is skipped; %zu gaps of silence, %zu samples (%.1f ms), the longest %zu\n",
      atPlace, buffer.size(), equal, gaps, inserted, inserted * 1000.0 / kSampleRate, longest);
  return 0;  // figures of Wine's mixer, not a verdict on the program
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

// Says `what` to the script and waits for its answer, the file DIR/`answer`.
void askScript(const std::string& dir, const char* what, const char* answer) {
  std::printf("%s\n", what);
  std::fflush(stdout);
  const std::string path = dir + "/" + answer;
  const auto until = Clock::now() + std::chrono::seconds(60);
  while (GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES && Clock::now() < until) {
    Sleep(10);
  }
}

// The server stops taking sound while a block plays (the script freezes it when asked): the wait
// for the sound gives up instead of holding the window, the close does not wait on the driver, and
// once the server answers again the device opens and plays as usual. How long each took is
// printed; the run ending at all is the check against hanging.
int stall(const std::string& dir) {
  WaveOutDevice device;
  if (!device.open()) {
    verdict("stall", false, "the device did not open: " + device.openError());
    return failures;
  }
  auto block = std::make_shared<const std::vector<std::uint8_t>>(2205, 200);  // 200 ms
  device.write(block);
  Sleep(50);
  askScript(dir, "freeze", "frozen");
  auto start = Clock::now();
  const bool played = device.waitUntilPlayed();
  std::printf("the wait with a frozen server gave up after %.0f ms\n",
              msBetween(start, Clock::now()));
  start = Clock::now();
  device.close();
  std::printf("the close with a frozen server took %.0f ms\n", msBetween(start, Clock::now()));
  verdict("stall: the wait gives up on a frozen server, and the device closes",
          !played && !device.isOpen(), played ? "it said all was played" : "it stayed open");
  askScript(dir, "thaw", "thawed");
  // However long a server just woken takes to answer again: the device is opened until it does.
  bool opened = false;
  const auto giveUp = Clock::now() + std::chrono::seconds(20);
  while (!(opened = device.open()) && Clock::now() < giveUp) Sleep(100);
  const bool written = opened && device.write(block);
  while (device.busy() && Clock::now() < giveUp) Sleep(5);
  verdict("stall: after the thaw the device opens and plays its block",
          written && device.alive() && !device.busy(),
          opened ? "the block did not play" : "it did not open: " + device.openError());
  device.waitUntilPlayed();
  device.close();
  Sleep(static_cast<DWORD>(WaveOutDevice::kDrainLimit.count()) + 100);
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
    return compare(args[1], args[2], args.size() >= 4 && args[3] == "onsets");
  }
  if (args.size() >= 2 && args[0] == "raw") return raw(args[1]);
  if (args.size() >= 3 && args[0] == "raw-compare") return rawCompare(args[1], args[2]);
  if (args.size() >= 1 && args[0] == "no-server") return noServer();
  if (args.size() >= 2 && args[0] == "stall") return stall(args[1]);
  std::fprintf(stderr, "usage: see the head of tests/windows/wine_sound_check.cpp\n");
  return 2;
}
