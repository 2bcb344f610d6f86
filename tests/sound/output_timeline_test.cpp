// The sound device's output timeline on a manual clock: placement, order, filling and the clock
// map.
#include "sound/output_timeline.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <random>
#include <vector>

#include "tests/sound/tone_block.h"

namespace kelvak {
namespace {

using testing::toneBlock;

using Clock = OutputTimeline::Clock;
constexpr int kRate = 11025;
constexpr std::size_t kCallback = 128;  // [samples]

SymbolBlock blockOf(std::vector<std::uint8_t> samples) {
  return std::make_shared<const std::vector<std::uint8_t>>(std::move(samples));
}

// Drives a timeline like an audio thread whose callbacks run at chosen moments, and keeps every
// sample it handed out.
struct Driver {
  OutputTimeline timeline{kRate};
  Clock::time_point t0 = Clock::time_point{} + std::chrono::hours(1);
  std::vector<std::uint8_t> out;

  Clock::time_point at(double ms) const {
    return t0 + std::chrono::duration_cast<Clock::duration>(
                    std::chrono::duration<double, std::milli>(ms));
  }
  void callback(double ms, std::size_t count = kCallback) {
    std::vector<std::uint8_t> buf(count, 0xEE);
    timeline.render(buf.data(), count, at(ms));
    out.insert(out.end(), buf.begin(), buf.end());
  }
  // Callbacks on time, one per period, from `fromMs` until `toMs`, `lateMs(k)` late each.
  template <typename Late>
  double regular(double fromMs, double toMs, Late lateMs) {
    const double period = 1000.0 * kCallback / kRate;
    double t = fromMs;
    for (int k = 0; t < toMs; ++k, t += period) callback(t + lateMs(k));
    return t;
  }
  double regular(double fromMs, double toMs) {
    return regular(fromMs, toMs, [](int) { return 0.0; });
  }
  // The output position the clock map gives for a moment, rounded [samples].
  std::int64_t position(double ms) const { return std::llround(timeline.positionAt(at(ms))); }
  // Where a block's samples begin in what was handed out.
  std::int64_t find(const SymbolBlock& b) const {
    auto it = std::search(out.begin(), out.end(), b->begin(), b->end());
    return it == out.end() ? -1 : it - out.begin();
  }
};

double samplesAt(double ms) { return ms * kRate / 1000.0; }

// The whole point of the timeline: a block starts at its own position, wherever that falls
// between two callbacks, not at the next callback.
class WritePosition : public ::testing::TestWithParam<double> {};

TEST_P(WritePosition, BlockStartsAtItsPosition) {
  Driver d;
  const double t = d.regular(0, 200);
  const auto position = static_cast<std::int64_t>(
      d.timeline.handedOut() + static_cast<std::int64_t>(GetParam() * 3 * kCallback));
  const auto block = toneBlock(300, 3);
  EXPECT_EQ(d.timeline.write(block, position), position);
  d.regular(t, t + 200);
  EXPECT_EQ(d.find(block), position);
  EXPECT_EQ(d.timeline.lateWrites(), 0);
}

INSTANTIATE_TEST_SUITE_P(WithinPeriods, WritePosition,
                         ::testing::Values(0.0, 0.25, 0.5, 0.75, 0.99),
                         [](const auto& info) {  // in hundredths of the period
                           return "At" + std::to_string(std::lround(info.param * 100));
                         });

TEST(OutputTimeline, BlocksComeOutInTheOrderWrittenAndBackToBackWhenTheyOverlap) {
  Driver d;
  double t = d.regular(0, 100);
  std::vector<SymbolBlock> blocks;
  for (int k = 0; k < 4; ++k) {
    blocks.push_back(toneBlock(200 + 37 * k, static_cast<std::uint8_t>(10 * k), 0));
    // 11 samples apart, each far longer than that.
    d.timeline.write(blocks.back(), d.position(t) + 200 + 11 * k);
  }
  d.regular(t, t + 200);
  std::int64_t expected = d.find(blocks[0]);
  ASSERT_GE(expected, 0);
  for (const auto& b : blocks) {
    EXPECT_EQ(d.find(b), expected);
    expected += static_cast<std::int64_t>(b->size());
  }
}

// The blocks end on their last noise sample; the output holds the silent level all the same,
// before, between and after them.
TEST(OutputTimeline, HoldsTheSilentLevelWhereNoBlockPlays) {
  Driver d;
  double t = d.regular(0, 50);
  const auto first = toneBlock(100, 1, 37);
  const auto second = toneBlock(100, 2, 0);
  d.timeline.write(first, d.position(t) + 200);
  d.timeline.write(second, d.position(t) + 530);  // a gap of 230 samples
  d.regular(t, t + 100);
  const std::int64_t a = d.find(first), b = d.find(second);
  ASSERT_GE(a, 0);
  ASSERT_GT(b, a + 100);
  auto silent = [&](std::int64_t from, std::int64_t to) {
    return std::all_of(d.out.begin() + from, d.out.begin() + to,
                       [](std::uint8_t v) { return v == OutputTimeline::kCentreLevel; });
  };
  EXPECT_TRUE(silent(0, a));
  EXPECT_TRUE(silent(a + 100, b));
  EXPECT_TRUE(silent(b + 100, static_cast<std::int64_t>(d.out.size())));
}

TEST(OutputTimeline, HoldsABlockUntilItHasBeenHandedOut) {
  Driver d;
  double t = d.regular(0, 50);
  std::weak_ptr<const std::vector<std::uint8_t>> watch;
  {
    auto block = toneBlock(1000, 5);
    watch = block;
    d.timeline.write(std::move(block), d.position(t) + 200);
  }
  // The caller's reference is gone; the block is still to play.
  EXPECT_FALSE(watch.expired());
  d.regular(t, t + 80);  // about 880 samples handed out: not yet to its end
  EXPECT_FALSE(watch.expired());
  EXPECT_FALSE(d.timeline.drained());
  d.regular(t + 80, t + 150);
  EXPECT_TRUE(watch.expired());
  EXPECT_TRUE(d.timeline.drained());
}

TEST(OutputTimeline, TellsWhatIsStillToPlayAndWhenTheLastSampleWentOut) {
  Driver d;
  double t = d.regular(0, 50);
  EXPECT_EQ(d.timeline.pendingSamples(), 0);
  const std::int64_t start = d.timeline.write(toneBlock(1500, 1), d.position(t) + 200);
  EXPECT_EQ(d.timeline.pendingSamples(), start + 1500 - d.timeline.handedOut());
  const auto before = d.timeline.drainedAt();
  t = d.regular(t, t + 60);
  EXPECT_FALSE(d.timeline.drained());
  EXPECT_EQ(d.timeline.drainedAt(), before);
  d.regular(t, t + 150);
  EXPECT_TRUE(d.timeline.drained());
  EXPECT_EQ(d.timeline.pendingSamples(), 0);
  // The callback that handed out the block's last sample: callback k hands out from 128 k on.
  const auto k = (start + 1500 - 1) / static_cast<std::int64_t>(kCallback);
  const double period = 1000.0 * kCallback / kRate;
  const double drainedMs =
      std::chrono::duration<double, std::milli>(d.timeline.drainedAt() - d.t0).count();
  EXPECT_NEAR(drainedMs, static_cast<double>(k) * period, 1e-3);
}

TEST(OutputTimeline, ClearDropsWhatIsQueuedAndHoldsTheSilentLevel) {
  Driver d;
  double t = d.regular(0, 50);
  d.timeline.write(toneBlock(50, 1, 99), d.position(t) + 200);
  t = d.regular(t, t + 30);  // played, ending on 99
  std::weak_ptr<const std::vector<std::uint8_t>> watch;
  {
    auto queued = toneBlock(400, 2);
    watch = queued;
    d.timeline.write(std::move(queued), d.position(t) + 200);
  }
  d.timeline.clear();
  EXPECT_TRUE(watch.expired());
  EXPECT_TRUE(d.timeline.drained());
  const std::size_t from = d.out.size();
  d.regular(t, t + 60);
  EXPECT_TRUE(std::all_of(d.out.begin() + static_cast<std::ptrdiff_t>(from), d.out.end(),
                          [](std::uint8_t v) { return v == OutputTimeline::kCentreLevel; }));
}

TEST(OutputTimeline, NeverWritesIntoSamplesAlreadyHandedOut) {
  OutputTimeline timeline(kRate);
  const auto t0 = Clock::time_point{} + std::chrono::hours(1);
  std::vector<std::uint8_t> buf(kCallback);
  timeline.render(buf.data(), buf.size(), t0);
  // A block for a place already handed out starts at the first sample still to go, and counts.
  const std::int64_t placed = timeline.write(toneBlock(10, 1), 100);
  EXPECT_EQ(placed, static_cast<std::int64_t>(kCallback));
  EXPECT_EQ(timeline.lateWrites(), 1);
}

// The clock map learns the server's pace from the callbacks alone.

TEST(OutputTimeline, StartUpBurstOfCallbacksDoesNotAddLatency) {
  Driver d;
  // The server fills its buffer at once: three callbacks in a row. Then it settles to keeping
  // less queued: one callback per period, starting two periods later.
  d.callback(0);
  d.callback(0.1);
  d.callback(0.2);
  const double period = 1000.0 * kCallback / kRate;
  double t = 2 * period;
  std::int64_t lastStart = 0;
  double lastMs = 0;
  for (int k = 0; k < 20; ++k, t += period) {
    lastStart = d.timeline.handedOut();
    lastMs = t;
    d.callback(t);
  }
  // The settled pace, not the burst's, which would put every moment a period late.
  const double writeMs = lastMs + period / 2;
  const double paceNow = static_cast<double>(lastStart) + samplesAt(writeMs - lastMs);
  EXPECT_NEAR(d.timeline.positionAt(d.at(writeMs)), paceNow, 2.0);
}

TEST(OutputTimeline, LateCallbacksDoNotMoveTheClockMap) {
  Driver d;
  std::mt19937 gen(7);
  std::uniform_real_distribution<double> late(0.0, 3.0);  // [ms], never early
  auto jitter = [&](int) { return late(gen); };
  double t = d.regular(0, 300, jitter);
  std::vector<std::int64_t> placed;
  std::vector<double> written;
  for (int k = 0; k < 20; ++k) {
    const double w = t + 0.37 * k;  // moments in every part of a period
    written.push_back(w);
    placed.push_back(d.position(w));
    t = d.regular(t, t + 300, jitter);
  }
  for (std::size_t k = 1; k < placed.size(); ++k) {
    const double heardMs = 1000.0 * static_cast<double>(placed[k] - placed[0]) / kRate;
    EXPECT_NEAR(heardMs, written[k] - written[0], 0.2) << "write " << k;
  }
}

TEST(OutputTimeline, AfterAStallTheClockMapComesBack) {
  Driver d;
  double t = d.regular(0, 300);
  // The server stops asking for 400 ms, then goes on from where it was.
  t = d.regular(t + 400, t + 700);
  const std::int64_t handed = d.timeline.handedOut();
  const double lastCallback = t - 1000.0 * kCallback / kRate;
  const std::int64_t placed = d.position(lastCallback + 1);
  // What the server takes now, not 400 ms behind it.
  EXPECT_NEAR(static_cast<double>(placed - (handed - static_cast<std::int64_t>(kCallback))),
              samplesAt(1), 2.0);
}

// A character pause of 0: every block is placed where the one before reaches its silent tail. Each
// starts at its own place and cuts only that tail, so the sound never falls behind, and every tone
// comes out whole.
TEST(OutputTimeline, ABlockDueInTheSilentTailCutsOnlyTheTailAndNoBacklogBuilds) {
  Driver d;
  const double period = 1000.0 * kCallback / kRate;
  double next = 0;
  auto runTo = [&](double ms) {
    for (; next < ms; next += period) d.callback(next);
  };
  constexpr std::size_t kTone = 500, kTail = 400;
  const double step = 1000.0 * kTone / kRate;  // the tone's length [ms]
  std::vector<SymbolBlock> blocks;
  std::vector<std::int64_t> starts, own;
  runTo(100);
  for (int k = 0; k < 30; ++k) {
    const double at = 100 + k * step + 0.3;
    runTo(at);
    std::vector<std::uint8_t> s = *toneBlock(kTone + kTail, static_cast<std::uint8_t>(k), 0);
    std::fill(s.begin() + kTone, s.end(), 0);  // the silent tail
    blocks.push_back(blockOf(std::move(s)));
    own.push_back(std::llround(samplesAt(at)) + 300);
    starts.push_back(d.timeline.write(blocks.back(), kTone, own.back()));
  }
  runTo(100 + 31 * step + 200);
  for (int k = 0; k < 30; ++k) {
    SCOPED_TRACE(k);
    // At its own place (a sample of rounding aside: never into the tone before it).
    EXPECT_NEAR(static_cast<double>(starts[k]), static_cast<double>(own[k]), 1.0);
    const auto& b = *blocks[k];
    ASSERT_LE(static_cast<std::size_t>(starts[k]) + b.size(), d.out.size());
    EXPECT_TRUE(std::equal(b.begin(), b.begin() + kTone, d.out.begin() + starts[k]));
  }
  // The last block plays whole, tail and all.
  EXPECT_TRUE(
      std::equal(blocks.back()->begin(), blocks.back()->end(), d.out.begin() + starts.back()));
}

// Following the stream's own clock: the server says which sample is heard, with a little wobble;
// the map gives the sample heard at any moment. A single report far off (a late timing update)
// moves nothing, while a jump of the stream's clock (it stopped after an underrun) is taken as
// soon as the reports agree on it. The server reports once per request: every 10 ms here as on
// PulseAudio, and once per cycle of PipeWire's graph (43 ms at 2048 samples and 48 kHz).
class StreamClock : public ::testing::TestWithParam<double> {};

TEST_P(StreamClock, FollowedSmoothlyWithItsJumpsTaken) {
  const double spacing = GetParam();  // between reports [ms]
  OutputTimeline timeline(kRate);
  const Clock::time_point t0 = Clock::time_point{} + std::chrono::hours(1);
  auto at = [&](double ms) {
    return t0 + std::chrono::duration_cast<Clock::duration>(
                    std::chrono::duration<double, std::milli>(ms));
  };
  constexpr double kQueue = 1300;  // [samples] held by the server
  double shift = 0;                // [samples] the stream's clock lost
  std::vector<double> hiccups;     // [samples] off in the next reports only
  auto heardAt = [&](double ms) { return samplesAt(ms) - kQueue - shift; };
  std::vector<std::uint8_t> buf(1000);
  double ms = 0;
  auto refill = [&](int times) {
    for (int k = 0; k < times; ++k, ms += spacing) {
      const double wobble = (k % 3 - 1) * 5.0;  // [samples], about half a millisecond
      double off = 0;
      if (!hiccups.empty()) {
        off = hiccups.front();
        hiccups.erase(hiccups.begin());
      }
      timeline.followStreamClock(at(ms), heardAt(ms) + wobble + off);
      // The server takes what has been heard since the last refill.
      const auto n = std::llround(samplesAt(ms)) - timeline.handedOut();
      timeline.render(buf.data(), static_cast<std::size_t>(std::max<std::int64_t>(n, 0)), at(ms));
    }
  };
  refill(200);
  const double writeMs = ms - 4.6;
  EXPECT_NEAR(timeline.positionAt(at(writeMs)), heardAt(writeMs), 2.0);

  // Reports 30 ms off: one alone either way, two in a row, then five that flip direction.
  const std::vector<std::vector<double>> hiccupRuns = {
      {-330}, {330}, {330, 330}, {330, -330, 330, -330, 330}};
  for (const auto& run : hiccupRuns) {
    hiccups = run;
    refill(static_cast<int>(run.size()));
    EXPECT_NEAR(timeline.positionAt(at(ms - 5)), heardAt(ms - 5), 2.0)
        << run.size() << " reports off";
    refill(20);  // past that block
  }
  EXPECT_EQ(timeline.streamJumps(), 0);

  shift = 551;  // 50 ms, coming in over three reports
  hiccups = {351, 151};
  refill(40);
  EXPECT_NEAR(timeline.positionAt(at(ms - 5)), heardAt(ms - 5), 2.0);
  EXPECT_EQ(timeline.streamJumps(), 1);
}

INSTANTIATE_TEST_SUITE_P(ReportSpacing, StreamClock, ::testing::Values(10.0, 42.7),
                         [](const ::testing::TestParamInfo<double>& info) {
                           return info.index == 0 ? "PulseAudioEvery10ms" : "PipeWireEvery43ms";
                         });

// A sound card clock a little off the steady clock: the map keeps to the card's clock for as long
// as a session lasts.
class CardClock : public ::testing::TestWithParam<double> {};

TEST_P(CardClock, MapHoldsOverAnHour) {
  Driver d;
  const double ratio = 1.0 + GetParam();  // card samples per steady sample
  const double period = 1000.0 * kCallback / kRate / ratio;
  double t = 0;
  for (int k = 0; k < 3600 * 86; ++k, t += period) {
    std::vector<std::uint8_t> buf(kCallback);
    d.timeline.render(buf.data(), buf.size(), d.at(t));
  }
  // The card's position now: the last callback handed out up to here, one period ago.
  const double cardNow = static_cast<double>(d.timeline.handedOut() - kCallback);
  EXPECT_NEAR(d.timeline.positionAt(d.at(t - period)), cardNow, samplesAt(1.0));
}

INSTANTIATE_TEST_SUITE_P(Drift, CardClock, ::testing::Values(-150e-6, 0.0, 150e-6),
                         [](const auto& info) {  // in parts per million
                           const long ppm = std::lround(info.param * 1e6);
                           if (ppm == 0) return std::string("Exact");
                           return ppm < 0 ? "Slow" + std::to_string(-ppm)
                                          : "Fast" + std::to_string(ppm);
                         });

}  // namespace
}  // namespace kelvak
