// Sound files: every format opens with the transmission's duration, the exact ones keep every
// sample, nothing half-written is left behind, and the resampler keeps levels and tones.
#include "export/audio_file.h"

#include <gtest/gtest.h>
#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>
#endif

#include <cmath>
#include <numbers>

#include "export/exporter.h"
#include "export/resampler.h"
#include "export/target_files.h"
#include "tests/export/export_test_files.h"
#include "tests/harness/spectrum.h"

namespace kelvak {
namespace {

using testing::TempFolder;

TransmissionPlan shortPlan() {
  TransmissionSettings s;
  s.speed = 30;
  s.groups = 2;
  s.noisePosition = 90;
  Random random;
  return planTransmission(s, {}, random);
}

std::vector<std::uint8_t> rendered(const TransmissionPlan& plan) {
  std::vector<std::uint8_t> out(static_cast<std::size_t>(plan.totalSamples));
  PlanRenderer(plan).render(out.data(), out.size());
  return out;
}

struct FormatCase {
  const char* extension;
  int rate;
  bool exact;
  double slack;  // how much longer the decoded file may be [s]: encoder padding
};
void PrintTo(const FormatCase& c, std::ostream* os) { *os << c.extension; }

class FormatRoundTrip : public ::testing::TestWithParam<FormatCase> {};

TEST_P(FormatRoundTrip, OpensWithTheTransmissionsDuration) {
  const FormatCase& c = GetParam();
  const TransmissionPlan plan = shortPlan();
  TempFolder folder;
  const std::string path = folder.path(std::string("out") + c.extension);
  ASSERT_TRUE(writeExport(plan, path, std::nullopt));
  EXPECT_EQ(folder.names(), std::vector<std::string>{std::string("out") + c.extension});

  const testing::SoundFile file = testing::readSoundFile(path, c.exact);
  EXPECT_EQ(file.rate, c.rate);
  const double want = static_cast<double>(plan.totalSamples) / 11025;
  const double got = static_cast<double>(file.frames) / file.rate;
  EXPECT_GE(got, want - 0.001);
  EXPECT_LE(got, want + c.slack);
  if (c.exact) {
    EXPECT_EQ(file.samples, rendered(plan));
  }
}

INSTANTIATE_TEST_SUITE_P(Formats, FormatRoundTrip,
                         ::testing::Values(FormatCase{".wav", 11025, true, 0.001},
                                           FormatCase{".FLAC", 11025, true, 0.001},
                                           FormatCase{".ogg", 11025, false, 0.05},
                                           FormatCase{".opus", 16000, false, 0.05},
                                           FormatCase{".mp3", 11025, false, 0.2}),
                         [](const auto& info) { return std::string(info.param.extension + 1); });

// The lossy coders add to the peaks, most of all to those of noise: decoded, a file stays within
// full scale at the settings that peak highest.
class LossyLevel : public ::testing::TestWithParam<const char*> {};

TEST_P(LossyLevel, DecodesWithinFullScale) {
  TempFolder folder;
  for (int signal : {0, 64}) {
    TransmissionSettings s;
    s.speed = 30;
    s.groups = 2;
    s.signalPosition = signal;
    s.noisePosition = 0;
    Random random;
    const std::string path = folder.path(std::string("out") + GetParam());
    ASSERT_TRUE(writeExport(planTransmission(s, {}, random), path, std::nullopt));
    const testing::Peaks p = testing::peaksOf(testing::readFloats(path));
    EXPECT_LT(p.peak, 1.0) << "signal position " << signal;
    EXPECT_GT(p.peak, 0.3) << "signal position " << signal;  // and not far below it
  }
}

INSTANTIATE_TEST_SUITE_P(Formats, LossyLevel, ::testing::Values(".ogg", ".opus", ".mp3"),
                         [](const auto& info) { return std::string(info.param + 1); });

TEST(AudioFile, CancelledOrFailedExportLeavesNothing) {
  const TransmissionPlan plan = shortPlan();
  TempFolder folder;
  int calls = 0;
  EXPECT_FALSE(writeExport(plan, folder.path("a.wav"), folder.path("a.txt"),
                           [&](std::int64_t, std::int64_t) { return ++calls < 2; }));
  EXPECT_TRUE(folder.names().empty());
  EXPECT_THROW(writeExport(plan, folder.path("missing/a.wav"), std::nullopt), UnwritablePathError);
  EXPECT_THROW(writeExport(plan, folder.path("a.aac"), std::nullopt), KelvakError);
  EXPECT_TRUE(folder.names().empty());
}

#ifndef _WIN32
// A target writes a single byte too, and closes its file once: a descriptor opened since (by
// another thread, the sound's) keeps the number it was given.
TEST(TargetFile, WritesEveryByteAndClosesItsFileOnce) {
  TempFolder folder;
  int since = -1;
  {
    TargetFile target(folder.path("a.key.txt"));
    target.write("1", 1);
    commitTargets({&target});
    since = ::open("/dev/null", O_RDONLY | O_CLOEXEC);  // the lowest free number: the file's
  }
  EXPECT_NE(::fcntl(since, F_GETFD), -1) << "closed by the target";
  ::close(since);
  EXPECT_EQ(testing::readText(folder.path("a.key.txt")), "1");
}
#endif

TEST(Resampler, KeepsLevelsLengthAndTonesUpToTheTopTone) {
  for (const double hz : {0.0, 440.0, 5000.0}) {
    Resampler r(11025, 16000);
    std::vector<float> in(5000), out;
    for (std::size_t i = 0; i < in.size(); ++i) {
      in[i] = static_cast<float>(0.5 * std::cos(2 * std::numbers::pi * hz * i / 11025) - 0.5);
    }
    r.push(in.data(), 3000, out);
    r.push(in.data() + 3000, 2000, out);
    r.finish(out);
    EXPECT_EQ(out.size(), std::size_t{7256});  // 5000 × 640 / 441 = 7256.2
    double worst = 0;
    // Away from the ends, where the edge values stand in for the missing input; a constant level
    // (0 Hz) everywhere.
    const std::size_t edge = hz == 0 ? 0 : 200;
    for (std::size_t m = edge; m + edge < out.size(); ++m) {
      const double want = 0.5 * std::cos(2 * std::numbers::pi * hz * m / 16000) - 0.5;
      worst = std::max(worst, std::abs(out[m] - want));
    }
    EXPECT_LT(worst, hz == 0 ? 1e-6 : 0.05) << hz << " Hz";
  }
}

}  // namespace
}  // namespace kelvak
