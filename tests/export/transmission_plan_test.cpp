// The exported transmission against the window's own: the blocks the transmission engine hands to
// the sound device, placed at its tick times, must be the file's samples byte for byte.
#include "export/transmission_plan.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>

#include "base/error.h"
#include "export/exporter.h"
#include "playback/block_placement.h"
#include "playback/transmission.h"
#include "synth/symbol_table.h"
#include "tests/export/export_test_files.h"
#include "tests/fakes/fakes.h"
#include "tests/harness/spectrum.h"

namespace kelvak {
namespace {

using testing::FakeControls;
using testing::FakeDevice;
using testing::FakeTimer;
using testing::TempFolder;

struct WindowCase {
  const char* name;
  TransmissionSettings settings;  // the window's controls
  const char* file = nullptr;     // UTF-8 text of the file source
};
void PrintTo(const WindowCase& c, std::ostream* os) { *os << c.name; }

// The first difference of two sample sequences, so a failure names a place, not megabytes.
::testing::AssertionResult sameSamples(const std::vector<std::uint8_t>& got,
                                       const std::vector<std::uint8_t>& want) {
  const std::size_t n = std::min(got.size(), want.size());
  for (std::size_t i = 0; i < n; ++i) {
    if (got[i] != want[i]) {
      return ::testing::AssertionFailure()
             << "sample " << i << ": " << int{got[i]} << " instead of " << int{want[i]};
    }
  }
  if (got.size() != want.size()) {
    return ::testing::AssertionFailure() << got.size() << " samples instead of " << want.size();
  }
  return ::testing::AssertionSuccess();
}

class ExportMatchesWindow : public ::testing::TestWithParam<WindowCase> {};

TEST_P(ExportMatchesWindow, WavHoldsTheWindowsBlocksAtTheirPlaces) {
  const WindowCase& p = GetParam();
  TempFolder folder;
  std::string textPath;
  if (p.file) {
    textPath = folder.path("text.txt");
    std::ofstream(textPath, std::ios::binary) << p.file;
  }

  // The window: its transmission engine on a manual clock, from a generator fresh from start-up.
  TransmissionSettings s = p.settings;
  FakeControls controls;
  controls.speedValue = s.speed;
  controls.kind = s.textKind;
  controls.freq = s.frequency;
  controls.signal = s.signalPosition;
  controls.noise = s.noisePosition;
  controls.charPause = std::to_string(s.charPause);
  controls.groupPause = std::to_string(s.groupPause);
  controls.longZeroChecked = s.longZero;
  controls.signsChecked = s.specialSigns;
  controls.groupsText = std::to_string(s.groups);
  FakeTimer timer;
  FakeDevice device;
  device.clock = &timer.now;
  Random windowRandom;
  Transmission tx(controls, timer, device, windowRandom);
  if (p.file) tx.loadFile(textPath);  // sets the group count to the file's whole groups
  tx.play();
  while (timer.fireNext([&] { tx.tick(); })) {
  }
  ASSERT_FALSE(device.opened);

  // Each block at its tick time [ms] to the nearest sample; before and between blocks the silent
  // level, whatever noise sample a block ended on.
  std::vector<std::uint8_t> want;
  const std::size_t tail =
      4 * static_cast<std::size_t>(samplesPerUnitFor(*unitDuration(s.speed, s.textKind)));
  for (const FakeDevice::Written& w : device.writes) {
    const auto start = static_cast<std::size_t>(std::floor(w.at * 11025 / 1000.0 + 0.5));
    ASSERT_GE(start + tail, want.size()) << "a tick came before the tone before had ended";
    want.resize(start, kSilentLevel);  // fills a gap, or cuts the silent tail a tick comes inside
    want.insert(want.end(), w.block->begin(), w.block->end());
  }

  FileText text;
  if (p.file) {
    text = readFileText(textPath);
    s.randomSource = false;
    s.groups = text.groups();
  }
  Random exportRandom;
  const TransmissionPlan plan = planTransmission(s, text, exportRandom);
  const std::string wav = folder.path("out.wav"), key = folder.path("out.txt");
  ASSERT_TRUE(writeExport(plan, wav, key));

  // The window handed every block over for the place the export gives it.
  ASSERT_EQ(device.writes.size(), plan.symbols.size());
  for (std::size_t k = 0; k < plan.symbols.size(); ++k) {
    EXPECT_EQ(device.writes[k].position, plan.symbols[k].start) << "symbol " << k;
  }

  const testing::SoundFile file = testing::readSoundFile(wav, true);
  EXPECT_EQ(file.rate, 11025);
  EXPECT_TRUE(sameSamples(file.samples, want));
  EXPECT_EQ(testing::readText(key), controls.pane + "\n");
  // The generator has moved on exactly as the transmission moved it.
  EXPECT_EQ(exportRandom.state(), windowRandom.state());
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Transmissions, ExportMatchesWindow,
    ::testing::Values(
        WindowCase{"Digits", {.groups = 3}},
        WindowCase{"LettersWithNoise", {.speed = 20, .textKind = 1, .frequency = 800,
                   .signalPosition = 20, .noisePosition = 40, .groups = 2, .groupPause = 3,
                   .specialSigns = true}},
        WindowCase{"FileSource", {.speed = 25, .noisePosition = 120, .charPause = 2,
                   .longZero = true}, "Ток 220/380 В\nкот-мир 12345 ёж? Щука\n"},
        WindowCase{"MixtureCharPauseZeroCutsTails", {.speed = 30, .textKind = 2, .groups = 2,
                   .charPause = 0}}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

// The settings record as the window opens and the generator as the program starts: an export
// without options (the command line's tests tie it to these).
TEST(ExportPlan, DefaultExportSendsTheFirstPlaysGroupsAfterStartUp) {
  Random random;
  const TransmissionPlan plan = planTransmission(TransmissionSettings{}, {}, random);
  EXPECT_EQ(plan.answerKey.substr(0, 12), "80648 26167 ");
  EXPECT_EQ(plan.answerKey.size(), 30u * 6);
  EXPECT_EQ(plan.symbols.front().index, kStartSignal);
  EXPECT_EQ(plan.symbols.front().start, 11025);  // one second in
  // The defaults' worked example: the first character (1350 ms) after the start signal.
  EXPECT_EQ(plan.symbols[1].onset, 11025 + 14884);  // 2350 ms = 25908.75 -> 25909 samples
}

TEST(BlockPlacement, StartsAtItsTickUnlessThatCutsTone) {
  // The block before lies at 100..400 and its tone ends at 360, where its silent tail begins.
  EXPECT_EQ(blockStart(500, 0, 0, 40), 500);      // no block before
  EXPECT_EQ(blockStart(380, 100, 300, 40), 380);  // inside the silent tail: cuts it there
  EXPECT_EQ(blockStart(200, 100, 300, 40), 360);  // inside the tone: waits for its end
}

TEST(ExportPlan, APauseBelowTheToneKeepsEveryToneWholeAndInOrder) {
  TransmissionSettings s;
  s.speed = 30;
  s.groups = 2;
  s.randomSource = false;
  s.charPause = -1;  // 8 units less than the symbol: the next tick comes inside the tone
  FileText text;
  text.symbols = {1, 9, 1, 9, 1, 9, 1, 9, 1, 9};  // .---- and ----. : long tones, no short zero
  Random random;
  const TransmissionPlan plan = planTransmission(s, text, random);
  std::vector<std::uint8_t> out(static_cast<std::size_t>(plan.totalSamples));
  PlanRenderer(plan).render(out.data(), out.size());
  const std::int64_t tail = 4 * plan.buffers.samplesPerUnit;
  for (std::size_t i = 0; i < plan.symbols.size(); ++i) {
    const auto& block = *plan.buffers.blocks[plan.symbols[i].index];
    EXPECT_TRUE(std::equal(block.begin(), block.end() - tail, out.begin() + plan.symbols[i].start))
        << "symbol " << i;
  }
  EXPECT_GT(plan.symbols[2].start, plan.symbols[2].onset);  // it waited
}

// A sound card's line output is AC-coupled: every step of the mean level the samples take comes
// out as a thump below the tone. After a 20 Hz high-pass, at most 1 % of a transmission's energy
// lies below 300 Hz, from the first second on.
struct LowBandCase {
  const char* name;
  int speed;
  int frequency;
  int signalPosition;
};
void PrintTo(const LowBandCase& c, std::ostream* os) { *os << c.name; }

class LowBand : public ::testing::TestWithParam<LowBandCase> {};

TEST_P(LowBand, HoldsAtMostOnePercentOfTheEnergyAfterAHighPass) {
  const LowBandCase& c = GetParam();
  TransmissionSettings s;
  s.speed = c.speed;
  s.frequency = c.frequency;
  s.signalPosition = c.signalPosition;
  s.groups = 2;
  Random random;
  const TransmissionPlan plan = planTransmission(s, {}, random);
  std::vector<std::uint8_t> out(static_cast<std::size_t>(plan.totalSamples));
  PlanRenderer(plan).render(out.data(), out.size());
  const auto heard = testing::highPass(testing::centred(out), 11025, 20);
  const double low = testing::bandShare(heard, 11025, 0, 300);
  std::printf("%s: %.3f %% below 300 Hz\n", c.name, 100 * low);
  EXPECT_LT(low, 0.01);
}

INSTANTIATE_TEST_SUITE_P(Settings, LowBand,
                         ::testing::Values(LowBandCase{"Defaults", 12, 500, 0},
                                           LowBandCase{"HalfSignal", 12, 500, 64},
                                           LowBandCase{"FastAndHigher", 30, 800, 0}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ExportPlan, PausesThatWouldStandTheTransmissionStillAreRefused) {
  TransmissionSettings s;
  s.charPause = -3;  // 16 units less: the short zero (7 units), second in the group, stands still
  Random random;
  EXPECT_THROW(planTransmission(s, {}, random), KelvakError);
  s.charPause = 1;
  s.groups = -1;
  EXPECT_THROW(planTransmission(s, {}, random), KelvakError);
}

}  // namespace
}  // namespace kelvak
