// The sound device's output timeline on a manual clock: placement, order, filling and the clock
// map.
#include "sound/output_timeline.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <vector>

namespace kelvak {
namespace {

using Clock = OutputTimeline::Clock;
constexpr int kRate = 11025;
constexpr std::int64_t kLatency = 172;  // [samples]
constexpr std::size_t kCallback = 128;  // [samples]

SymbolBlock blockOf(std::vector<std::uint8_t> samples) {
  return std::make_shared<const std::vector<std::uint8_t>>(std::move(samples));
}

// A tone-like block: distinct, never the filling level, ending on `last`.
SymbolBlock toneBlock(std::size_t n, std::uint8_t seed, std::uint8_t last = 0) {
  std::vector<std::uint8_t> s(n);
  for (std::size_t i = 0; i < n; ++i) s[i] = static_cast<std::uint8_t>(1 + (seed + i * 7) % 250);
  s.back() = last;
  return blockOf(std::move(s));
}

// Drives a timeline like an audio thread whose callbacks run at chosen moments, and keeps every
// sample it handed out.
struct Driver {
  OutputTimeline timeline{kLatency, kRate};
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
  // Where a block's samples begin in what was handed out.
  std::int64_t find(const SymbolBlock& b) const {
    auto it = std::search(out.begin(), out.end(), b->begin(), b->end());
    return it == out.end() ? -1 : it - out.begin();
  }
};

double samplesAt(double ms) { return ms * kRate / 1000.0; }

// The whole point of the timeline: a block starts one constant latency after the moment it was
// written, wherever that moment falls between two callbacks, not at the next callback.
class WriteMoment : public ::testing::TestWithParam<double> {};

TEST_P(WriteMoment, BlockStartsOneLatencyAfterItsWrite) {
  Driver d;
  double t = d.regular(0, 200);
  const double writeMs = t - 1000.0 * kCallback / kRate * (1.0 - GetParam());
  const auto block = toneBlock(300, 3);
  const std::int64_t placed = d.timeline.write(block, d.at(writeMs));
  d.regular(t, t + 200);
  const std::int64_t expected = std::llround(samplesAt(writeMs)) + kLatency;
  EXPECT_EQ(placed, expected);
  EXPECT_EQ(d.find(block), expected);
}

INSTANTIATE_TEST_SUITE_P(WithinAPeriod, WriteMoment, ::testing::Values(0.0, 0.25, 0.5, 0.75, 0.99));

TEST(OutputTimeline, BlocksComeOutInTheOrderWrittenAndBackToBackWhenTheyOverlap) {
  Driver d;
  double t = d.regular(0, 100);
  std::vector<SymbolBlock> blocks;
  for (int k = 0; k < 4; ++k) {
    blocks.push_back(toneBlock(200 + 37 * k, static_cast<std::uint8_t>(10 * k), 0));
    d.timeline.write(blocks.back(), d.at(t + k));  // 1 ms apart, each far longer than that
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
  d.timeline.write(first, d.at(t));
  d.timeline.write(second, d.at(t + 30));  // 30 ms later: a gap of about 230 samples
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
    d.timeline.write(std::move(block), d.at(t));
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
  const std::int64_t start = d.timeline.write(toneBlock(1500, 1), d.at(t));
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
  d.timeline.write(toneBlock(50, 1, 99), d.at(t));
  t = d.regular(t, t + 30);  // played, ending on 99
  std::weak_ptr<const std::vector<std::uint8_t>> watch;
  {
    auto queued = toneBlock(400, 2);
    watch = queued;
    d.timeline.write(std::move(queued), d.at(t));
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
  OutputTimeline timeline(0, kRate);  // no latency at all: every write is due "now"
  const auto t0 = Clock::time_point{} + std::chrono::hours(1);
  std::vector<std::uint8_t> buf(kCallback);
  timeline.render(buf.data(), buf.size(), t0);
  // Just after a callback the map says "sample 0 + a little", but 128 samples are gone already.
  const std::int64_t placed = timeline.write(toneBlock(10, 1), t0 + std::chrono::milliseconds(1));
  EXPECT_EQ(placed, static_cast<std::int64_t>(kCallback));
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
  // Placed by the settled pace, not by the burst's, which would add a period of latency.
  const double writeMs = lastMs + period / 2;
  const std::int64_t placed = d.timeline.write(toneBlock(10, 1), d.at(writeMs));
  const double paceNow = static_cast<double>(lastStart) + samplesAt(writeMs - lastMs);
  EXPECT_NEAR(static_cast<double>(placed), paceNow + kLatency, 2.0);
}

TEST(OutputTimeline, LateCallbacksDoNotMoveTheBlocks) {
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
    placed.push_back(d.timeline.write(toneBlock(10, 1), d.at(w)));
    t = d.regular(t, t + 300, jitter);
  }
  for (std::size_t k = 1; k < placed.size(); ++k) {
    const double heardMs = 1000.0 * static_cast<double>(placed[k] - placed[0]) / kRate;
    EXPECT_NEAR(heardMs, written[k] - written[0], 0.2) << "write " << k;
  }
}

TEST(OutputTimeline, AfterAStallTheLatencyComesBack) {
  Driver d;
  double t = d.regular(0, 300);
  // The server stops asking for 400 ms, then goes on from where it was.
  t = d.regular(t + 400, t + 700);
  const std::int64_t handed = d.timeline.handedOut();
  const double lastCallback = t - 1000.0 * kCallback / kRate;
  const std::int64_t placed = d.timeline.write(toneBlock(10, 1), d.at(lastCallback + 1));
  // One latency after what the server takes now, not 400 ms behind it.
  EXPECT_NEAR(static_cast<double>(placed - (handed - static_cast<std::int64_t>(kCallback))),
              samplesAt(1) + kLatency, 2.0);
}

// A character pause of 0: every block is written as the one before reaches its silent tail. Each
// starts at its own time and cuts only that tail, so the sound never falls behind the writes, and
// every tone comes out whole.
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
    own.push_back(std::llround(samplesAt(at)) + kLatency);
    starts.push_back(d.timeline.write(blocks.back(), kTone, d.at(at)));
  }
  runTo(100 + 31 * step + 200);
  for (int k = 0; k < 30; ++k) {
    SCOPED_TRACE(k);
    // At its own time (a sample of rounding aside: never into the tone before it).
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
// blocks land one latency after the sample heard at their write. A single report far off (a late
// timing update) moves nothing, while a jump of the stream's clock (it stopped after an underrun)
// is taken as soon as the reports agree on it.
TEST(OutputTimeline, FollowsTheStreamClockSmoothlyAndTakesItsJumps) {
  constexpr std::int64_t kStreamLatency = 2200;  // [samples], above the queue
  OutputTimeline timeline(kStreamLatency, kRate);
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
    for (int k = 0; k < times; ++k, ms += 10) {
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
  const std::int64_t placed = timeline.write(toneBlock(10, 1), at(writeMs));
  EXPECT_NEAR(static_cast<double>(placed), heardAt(writeMs) + kStreamLatency, 2.0);
  EXPECT_EQ(timeline.lateWrites(), 0);

  // Reports 30 ms off: one alone either way, two in a row, then five that flip direction.
  const std::vector<std::vector<double>> hiccupRuns = {
      {-330}, {330}, {330, 330}, {330, -330, 330, -330, 330}};
  for (const auto& run : hiccupRuns) {
    hiccups = run;
    refill(static_cast<int>(run.size()));
    const std::int64_t next = timeline.write(toneBlock(10, 2), at(ms - 5));
    EXPECT_NEAR(static_cast<double>(next), heardAt(ms - 5) + kStreamLatency, 2.0)
        << run.size() << " reports off";
    refill(20);  // past that block
  }
  EXPECT_EQ(timeline.streamJumps(), 0);

  shift = 551;  // 50 ms, coming in over three reports
  hiccups = {351, 151};
  refill(40);
  const std::int64_t after = timeline.write(toneBlock(10, 3), at(ms - 5));
  EXPECT_NEAR(static_cast<double>(after), heardAt(ms - 5) + kStreamLatency, 2.0);
  EXPECT_EQ(timeline.streamJumps(), 1);
}

// A sound card clock a little off the steady clock: blocks keep their latency on the card's
// clock for as long as a session lasts.
class CardClock : public ::testing::TestWithParam<double> {};

TEST_P(CardClock, LatencyHoldsOverAnHour) {
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
  const std::int64_t placed = d.timeline.write(toneBlock(10, 1), d.at(t - period));
  EXPECT_NEAR(static_cast<double>(placed), cardNow + kLatency, samplesAt(1.0));
}

INSTANTIATE_TEST_SUITE_P(Drift, CardClock, ::testing::Values(-150e-6, 0.0, 150e-6));

}  // namespace
}  // namespace kelvak
