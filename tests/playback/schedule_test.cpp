// The transmission's schedule in samples: tick times, the overlap rule, failed ticks and restarts.
#include "playback/schedule.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kelvak {
namespace {

struct Tick {
  std::int64_t length;    // the block [samples]
  std::int64_t interval;  // what the tick sets [ms]; -1: the tick fails before setting one
  std::int64_t onset;     // expected [samples]
  std::int64_t start;     // expected [samples]; -1 for a failed tick
};

struct ScheduleCase {
  const char* name;
  std::int64_t first;  // the interval the timer holds at Play [ms]
  std::int64_t tail;   // silent samples at the end of every block
  std::vector<Tick> ticks;
};

class ScheduleRows : public ::testing::TestWithParam<ScheduleCase> {};

TEST_P(ScheduleRows, PlacesEveryTick) {
  const ScheduleCase& c = GetParam();
  TransmissionSchedule s;
  s.start(c.first);
  std::int64_t held = c.first;
  for (std::size_t k = 0; k < c.ticks.size(); ++k) {
    SCOPED_TRACE("tick " + std::to_string(k));
    const Tick& t = c.ticks[k];
    EXPECT_EQ(s.beginTick(held), t.onset);
    if (t.interval < 0) continue;  // nothing placed; the timer goes on with the held interval
    const auto place = s.place(t.length, c.tail);
    EXPECT_EQ(place.onset, t.onset);
    EXPECT_EQ(place.start, t.start);
    s.setInterval(t.interval);
    held = t.interval;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ScheduleRows,
    ::testing::Values(
        // Speed 12 digits: 595 samples a unit, 54 ms; the start signal then "5" and "1".
        ScheduleCase{"Speed12",
             1000,
             2380,
             {{10115, 1350, 11025, 11025}, {7735, 702, 25909, 25909}, {12495, 1566, 33648, 33648}}},
        // Speed 30: 21 ms units, 231 samples. The running time is rounded as a whole: 21 ms is
        // 231.525 samples, so the onsets step 232, 231, 232, 231 and never drift.
        ScheduleCase{"Speed30RoundsTheRunningTime",
             1000,
             924,
             {{1155, 21, 11025, 11025},
              {231, 21, 11257, 11257},
              {231, 21, 11488, 11488},
              {231, 21, 11720, 11720},
              {231, 21, 11951, 11951}}},
        // A character pause of 0: the next tick comes 4 units before the block's end. A tick in
        // the silent tail cuts it; one while tone sounds waits for the tone's end.
        ScheduleCase{"PauseZeroCutsOnlyTheTail",
             100,
             400,
             {{900, 50, 1103, 1103}, {900, 20, 1654, 1654}, {900, 100, 1874, 2154}}},
        // A tick that fails before setting its interval: the next one comes a held interval
        // later, where the timer brings it.
        ScheduleCase{"AFailedTickKeepsTheHeldInterval",
             1000,
             100,
             {{500, 200, 11025, 11025}, {0, -1, 13230, -1}, {500, 300, 15435, 15435}}},
        // A block that is silent throughout gives way at once, even to a tick at its own time.
        ScheduleCase{"AWhollySilentBlockGivesWayAtOnce",
             100,
             500,
             {{500, 0, 1103, 1103}, {500, 10, 1103, 1103}}},
        // An interval wrapped round in 32 bits arrives as the timer's unsigned value: weeks.
        ScheduleCase{"AWrappedIntervalIsWeeksAway",
             1000,
             100,
             {{500, 0xFFFFFF38, 11025, 11025}, {500, 10, 47352023258, 47352023258}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Schedule, ARestartCountsTheNextTickFromItButNeverFromBeforeTheToneEnds) {
  TransmissionSchedule s;
  s.start(1000);
  s.beginTick(1000);
  s.place(5000, 1000);  // tone up to 15025
  s.setInterval(500);
  // Restarted 2 s after the start: the next tick one held interval later.
  s.rebase(22050, 500);
  EXPECT_EQ(s.nextOnset(), 22050 + 5513);
  EXPECT_EQ(s.beginTick(500), 27563);
  EXPECT_EQ(s.place(100, 0).start, 27563);
  s.setInterval(30);
  s.beginTick(30);
  s.place(1000, 100);  // at 27893 (the running time, rounded as a whole): tone up to 28793
  s.setInterval(30);
  // A restart the steady clock puts before that tone's end counts from the end instead.
  s.rebase(27900, 30);
  EXPECT_EQ(s.nextOnset(), 28793 + 331);
}

TEST(Schedule, StartForgetsTheTransmissionBefore) {
  TransmissionSchedule s;
  s.start(1000);
  s.beginTick(1000);
  s.place(90000, 100);
  s.start(300);
  EXPECT_EQ(s.toneEnd(), 0);
  EXPECT_EQ(s.beginTick(300), 3308);
  EXPECT_EQ(s.place(10, 0).start, 3308);  // nothing before it to wait for
}

TEST(Schedule, SteadyClockDurationsRoundToTheNearestSample) {
  const TransmissionSchedule s;
  EXPECT_EQ(s.samplesOf(0), 0);
  EXPECT_EQ(s.samplesOf(-5), 0);
  EXPECT_EQ(s.samplesOf(45'351), 0);  // 0.49999 of a sample
  EXPECT_EQ(s.samplesOf(45'352), 1);
  EXPECT_EQ(s.samplesOf(1'000'000'000), 11025);
  // A year of nanoseconds overflows no product.
  EXPECT_EQ(s.samplesOf(std::int64_t{31'536'000} * 1'000'000'000),
            std::int64_t{31'536'000} * 11025);
}

}  // namespace
}  // namespace kelvak

namespace kelvak {
namespace {

struct IntervalCase {
  const char* name;
  bool endOfGroup;
  std::int32_t field, length, unitMs, intervalMs;
};

class TickInterval : public ::testing::TestWithParam<IntervalCase> {};

TEST_P(TickInterval, IsLengthPlusPauseInUnitsWrappedAs32Bits) {
  const IntervalCase& c = GetParam();
  EXPECT_EQ(tickIntervalMs(pauseUnits(c.endOfGroup, c.field), c.length, c.unitMs), c.intervalMs);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TickInterval,
    ::testing::Values(IntervalCase{"CharacterPauseOne", false, 1, 13, 54, 702},
                      IntervalCase{"GroupPauseTwo", true, 2, 21, 54, 1566},
                      IntervalCase{"CharacterPauseZero", false, 0, 13, 21, 189},
                      // 4 × 2^30 wraps to 0 units of pause.
                      IntervalCase{"PauseWrapsToNothing", true, 0x40000000, 17, 21, 357},
                      // (2^27 + 17) × 21 ms is beyond 2^31: the timer gets it as weeks.
                      IntervalCase{"ProductWrapsNegative", true, 0x02000000, 17, 21, -1476394651}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace kelvak
