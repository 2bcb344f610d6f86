// The exported transmission against the window's own: the blocks the transmission engine hands to
// the sound device, placed at its tick times, must be the file's samples byte for byte.
#include "export/transmission_plan.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>

#include "export/block_placement.h"
#include "export/command_line.h"
#include "export/exporter.h"
#include "playback/transmission.h"
#include "synth/error.h"
#include "synth/symbol_table.h"
#include "tests/export/export_test_files.h"
#include "tests/fakes/fakes.h"

namespace kelvak {
namespace {

using testing::FakeControls;
using testing::FakeDevice;
using testing::FakeTimer;
using testing::TempFolder;

struct WindowCase {
  const char* name;
  int speed = 12, kind = 0, frequency = 500, signal = 0, noise = 127;
  const char* groups = "3";
  const char* charPause = "1";
  const char* groupPause = "2";
  bool longZero = false, signs = false;
  const char* file = nullptr;  // UTF-8 text of the file source
};

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

TEST_P(ExportMatchesWindow, WavHoldsTheWindowsBlocksAtItsTickTimes) {
  const WindowCase& p = GetParam();
  TempFolder folder;
  std::string textPath;
  if (p.file) {
    textPath = folder.path("text.txt");
    std::ofstream(textPath, std::ios::binary) << p.file;
  }

  // The window: its transmission engine on a manual clock, from a generator fresh from start-up.
  FakeControls controls;
  controls.speedValue = p.speed;
  controls.kind = p.kind;
  controls.freq = p.frequency;
  controls.signal = p.signal;
  controls.noise = p.noise;
  controls.charPause = p.charPause;
  controls.groupPause = p.groupPause;
  controls.longZeroChecked = p.longZero;
  controls.signsChecked = p.signs;
  FakeTimer timer;
  FakeDevice device;
  device.clock = &timer.now;
  Random windowRandom;
  Transmission tx(controls, timer, device, windowRandom);
  if (p.file) tx.loadFile(textPath);
  if (!p.file) controls.groupsText = p.groups;
  tx.play();
  while (timer.fireNext([&] { tx.tick(); })) {
  }
  ASSERT_FALSE(device.opened);

  // Each block at its tick time [ms] to the nearest sample; between blocks the level the block
  // before ended on, before the first the silence of the blocks (0).
  std::vector<std::uint8_t> want;
  std::uint8_t level = 0;
  const std::size_t tail =
      4 * static_cast<std::size_t>(samplesPerUnitFor(*unitDuration(p.speed, p.kind)));
  for (const FakeDevice::Written& w : device.writes) {
    const auto start = static_cast<std::size_t>(std::floor(w.at * 11025 / 1000.0 + 0.5));
    ASSERT_GE(start + tail, want.size()) << "a tick came before the tone before had ended";
    want.resize(start, level);  // fills a gap, or cuts the silent tail a tick comes inside
    want.insert(want.end(), w.block->begin(), w.block->end());
    level = w.block->back();
  }

  ExportSettings s;
  s.speed = p.speed;
  s.textKind = p.kind;
  s.frequency = p.frequency;
  s.signalPosition = p.signal;
  s.noisePosition = p.noise;
  s.charPause = std::stoi(p.charPause);
  s.groupPause = std::stoi(p.groupPause);
  s.longZero = p.longZero;
  s.specialSigns = p.signs;
  FileText text;
  if (p.file) {
    text = readFileText(textPath);
    s.randomSource = false;
    s.groups = text.groups();
  } else {
    s.groups = std::stoi(p.groups);
  }
  Random exportRandom;
  const TransmissionPlan plan = planTransmission(s, text, exportRandom);
  const std::string wav = folder.path("out.wav"), key = folder.path("out.txt");
  ASSERT_TRUE(writeExport(plan, wav, key));

  const testing::SoundFile file = testing::readSoundFile(wav, true);
  EXPECT_EQ(file.rate, 11025);
  EXPECT_TRUE(sameSamples(file.samples, want));
  EXPECT_EQ(testing::readText(key), controls.pane + "\n");
  // The generator has moved on exactly as the transmission moved it.
  EXPECT_EQ(exportRandom.state(), windowRandom.state());
}

INSTANTIATE_TEST_SUITE_P(Transmissions, ExportMatchesWindow,
                         ::testing::Values(WindowCase{.name = "Digits"},
                                           WindowCase{.name = "LettersWithNoise",
                                                      .speed = 20,
                                                      .kind = 1,
                                                      .frequency = 800,
                                                      .signal = 20,
                                                      .noise = 40,
                                                      .groups = "2",
                                                      .groupPause = "3",
                                                      .signs = true},
                                           WindowCase{
                                               .name = "FileSource",
                                               .speed = 25,
                                               .noise = 120,
                                               .charPause = "2",
                                               .longZero = true,
                                               .file = "Ток 220/380 В\nкот-мир 12345 ёж? Щука\n"},
                                           WindowCase{.name = "MixtureCharPauseZeroCutsTails",
                                                      .speed = 30,
                                                      .kind = 2,
                                                      .groups = "2",
                                                      .charPause = "0"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ExportPlan, DefaultExportSendsTheFirstPlaysGroupsAfterStartUp) {
  const CommandLine cl = parseCommandLine({"--export", "x.wav"});
  Random random;
  random.setState(cl.options.seed);
  const TransmissionPlan plan = planTransmission(settingsFor(cl.options, {}), {}, random);
  EXPECT_EQ(plan.answerKey.substr(0, 12), "80648 26167 ");
  EXPECT_EQ(plan.answerKey.size(), 30u * 6);
  EXPECT_EQ(plan.symbols.front().index, kStartSignal);
  EXPECT_EQ(plan.symbols.front().start, 11025);  // one second in
  // The defaults' worked example: the first character (1350 ms) after the start signal.
  EXPECT_EQ(plan.symbols[1].onset, 11025 + 14884);  // 2350 ms = 25908.75 -> 25909 samples
}

struct PlacementCase {
  const char* name;
  std::int64_t onset, previousStart, previousLength, tail, want;
};

class BlockPlacement : public ::testing::TestWithParam<PlacementCase> {};

TEST_P(BlockPlacement, StartsAtItsTickUnlessThatCutsTone) {
  const PlacementCase& c = GetParam();
  EXPECT_EQ(blockStart(c.onset, c.previousStart, c.previousLength, c.tail), c.want);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BlockPlacement,
    ::testing::Values(PlacementCase{"NoBlockBefore", 500, 0, 0, 40, 500},
                      PlacementCase{"AfterTheBlockBefore", 500, 100, 300, 40, 500},
                      PlacementCase{"InsideTheSilentTail", 380, 100, 300, 40, 380},
                      PlacementCase{"AtTheToneEnd", 360, 100, 300, 40, 360},
                      PlacementCase{"InsideTheTone", 200, 100, 300, 40, 360}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ExportPlan, TickTimesRoundToTheNearestSampleHalvesUp) {
  EXPECT_EQ(msToSamples(1000, 11025), 11025);
  EXPECT_EQ(msToSamples(20, 11025), 221);  // 220.5
  EXPECT_EQ(msToSamples(1, 11025), 11);    // 11.025
  EXPECT_EQ(msToSamples(3, 11025), 33);    // 33.075
}

TEST(ExportPlan, APauseBelowTheToneWaitsForTheToneAndKeepsTheOrder) {
  ExportSettings s;
  s.speed = 30;
  s.groups = 2;
  s.randomSource = false;
  s.charPause = -1;  // 8 units less than the symbol: the next tick comes inside the tone
  FileText text;
  text.symbols = {1, 9, 1, 9, 1, 9, 1, 9, 1, 9};  // .---- and ----. : long tones, no short zero
  Random random;
  const TransmissionPlan plan = planTransmission(s, text, random);
  const std::int64_t tail = 4 * plan.buffers.samplesPerUnit;
  bool waited = false;
  for (std::size_t i = 1; i < plan.symbols.size(); ++i) {
    const std::int64_t toneEnd = plan.symbols[i - 1].start + plan.length(i - 1) - tail;
    EXPECT_EQ(plan.symbols[i].start, std::max(plan.symbols[i].onset, toneEnd));
    waited = waited || plan.symbols[i].start > plan.symbols[i].onset;
  }
  EXPECT_TRUE(waited);
  // The rendered output holds every block's tone whole.
  std::vector<std::uint8_t> out(static_cast<std::size_t>(plan.totalSamples));
  PlanRenderer(plan).render(out.data(), out.size());
  for (std::size_t i = 0; i < plan.symbols.size(); ++i) {
    const auto& block = *plan.buffers.blocks[plan.symbols[i].index];
    const auto from = out.begin() + plan.symbols[i].start;
    EXPECT_TRUE(std::equal(block.begin(), block.end() - tail, from)) << "symbol " << i;
  }
}

TEST(ExportPlan, PausesThatWouldStandTheTransmissionStillAreRefused) {
  ExportSettings s;
  s.charPause = -3;  // 16 units less: the short zero (7 units), second in the group, stands still
  Random random;
  EXPECT_THROW(planTransmission(s, {}, random), KelvakError);
  s.charPause = 1;
  s.groups = -1;
  EXPECT_THROW(planTransmission(s, {}, random), KelvakError);
}

TEST(ExportPlan, RenderingInAnyPiecesGivesTheSameSamples) {
  ExportSettings s;
  s.speed = 30;
  s.groups = 2;
  s.noisePosition = 100;
  s.charPause = 0;
  Random random;
  const TransmissionPlan plan = planTransmission(s, {}, random);
  std::vector<std::uint8_t> whole(static_cast<std::size_t>(plan.totalSamples) + 10);
  PlanRenderer all(plan);
  ASSERT_EQ(all.render(whole.data(), whole.size()), static_cast<std::size_t>(plan.totalSamples));
  whole.resize(static_cast<std::size_t>(plan.totalSamples));
  std::vector<std::uint8_t> pieces;
  PlanRenderer bits(plan);
  std::uint8_t buf[977];
  while (const std::size_t n = bits.render(buf, sizeof buf))
    pieces.insert(pieces.end(), buf, buf + n);
  EXPECT_TRUE(sameSamples(pieces, whole));
}

TEST(ExportPlan, NoGroupsSendOnlyTheStartSignal) {
  ExportSettings s;
  s.groups = 0;
  Random random;
  const TransmissionPlan plan = planTransmission(s, {}, random);
  ASSERT_EQ(plan.symbols.size(), 1u);
  EXPECT_EQ(plan.totalSamples, 11025 + plan.buffers.length(kStartSignal));
  EXPECT_EQ(plan.answerKey, "");
}

}  // namespace
}  // namespace kelvak
