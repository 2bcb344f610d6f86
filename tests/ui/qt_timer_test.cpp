// The precise timer: re-armed only by a different value, silent at interval 0.
//
// Timing checks only ever assert in the direction a slow machine cannot break: a countdown that
// was not restarted can only have shrunk further, and one that was restarted stands above what the
// old one could still have had left.
#include "ui/qt_timer.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTest>
#include <chrono>
#include <limits>
#include <thread>
#include <vector>

namespace kelvak {
namespace {

constexpr int kLong = 600000;  // [ms] an interval no test waits for
constexpr int kWait = 300;     // [ms] time let pass before a re-arming is judged

struct Counting {
  int ticks = 0;
  QtTimer timer{[this] { ++ticks; }};
};

TEST(QtTimer, StartsDisabledWithOneSecondOnAPreciseTimer) {
  Counting c;
  EXPECT_FALSE(c.timer.enabled());
  EXPECT_EQ(c.timer.interval(), 1000u);
  EXPECT_FALSE(c.timer.armed());
  EXPECT_EQ(c.timer.timerType(), Qt::PreciseTimer);
}

TEST(QtTimer, TicksRepeatedlyWhileEnabled) {
  Counting c;
  c.timer.setInterval(5);
  c.timer.setEnabled(true);
  QTRY_VERIFY_WITH_TIMEOUT(c.ticks >= 3, 10000);
  c.timer.setEnabled(false);
  const int seen = c.ticks;
  QTest::qWait(50);
  EXPECT_EQ(c.ticks, seen);
}

TEST(QtTimer, IntervalZeroMeansNoTick) {
  Counting c;
  c.timer.setInterval(0);
  c.timer.setEnabled(true);
  EXPECT_TRUE(c.timer.enabled());
  EXPECT_FALSE(c.timer.armed());
  QTest::qWait(50);
  EXPECT_EQ(c.ticks, 0);
  // A later interval arms it again.
  c.timer.setInterval(5);
  QTRY_VERIFY_WITH_TIMEOUT(c.ticks >= 1, 10000);
}

TEST(QtTimer, IntervalsBeyondQtTimersRangeNeverTick) {
  Counting c;
  c.timer.setEnabled(true);
  for (std::uint32_t ms : {std::uint32_t{std::numeric_limits<int>::max()} + 1, 0xFFFFFFFFu,
                           static_cast<std::uint32_t>(-540)}) {
    c.timer.setInterval(ms);
    EXPECT_EQ(c.timer.interval(), ms);
    EXPECT_FALSE(c.timer.armed()) << ms;
  }
  c.timer.setInterval(std::numeric_limits<int>::max());
  EXPECT_TRUE(c.timer.armed());
}

TEST(QtTimer, SettingTheSameValueKeepsTheRunningCountdown) {
  Counting c;
  c.timer.setInterval(kLong);
  c.timer.setEnabled(true);
  QTest::qWait(kWait);
  c.timer.setInterval(kLong);
  c.timer.setEnabled(true);
  EXPECT_LE(c.timer.remainingTime(), kLong - kWait);
}

TEST(QtTimer, ADifferentIntervalRestartsTheCountdown) {
  Counting c;
  c.timer.setInterval(kLong);
  c.timer.setEnabled(true);
  QTest::qWait(kWait);
  c.timer.setInterval(kLong + 1);
  EXPECT_GT(c.timer.remainingTime(), kLong - kWait);
}

TEST(QtTimer, DisablingAndEnablingRestartsTheCountdown) {
  Counting c;
  c.timer.setInterval(kLong);
  c.timer.setEnabled(true);
  QTest::qWait(kWait);
  c.timer.setEnabled(false);
  EXPECT_FALSE(c.timer.armed());
  c.timer.setEnabled(true);
  EXPECT_GT(c.timer.remainingTime(), kLong - kWait);
}

TEST(QtTimer, ChangingTheIntervalWhileDisabledDoesNotStartIt) {
  Counting c;
  c.timer.setInterval(5);
  QTest::qWait(50);
  EXPECT_FALSE(c.timer.armed());
  EXPECT_EQ(c.ticks, 0);
}

TEST(QtTimer, ATickMaySetItsOwnNextInterval) {
  // The transmission sets the interval inside the tick; the next tick then comes after it.
  int ticks = 0;
  QtTimer* self = nullptr;
  QtTimer timer([&] {
    ++ticks;
    self->setInterval(kLong);
  });
  self = &timer;
  timer.setInterval(5);
  timer.setEnabled(true);
  QTRY_VERIFY_WITH_TIMEOUT(ticks >= 1, 10000);
  QTest::qWait(50);
  EXPECT_EQ(ticks, 1);
}

// A tick that runs late (the window was busy) keeps the beat: the interval it sets counts from the
// moment it was due, which is also the moment it names for the sound.
TEST(QtTimer, AnIntervalSetInALateTickCountsFromThatTicksBeat) {
  using std::chrono::milliseconds;
  using Steady = std::chrono::steady_clock;
  std::vector<Steady::time_point> moments, ran;
  QtTimer* self = nullptr;
  QtTimer timer([&] {
    ran.push_back(Steady::now());
    moments.push_back(self->tickMoment());
    if (moments.size() == 1) {
      std::this_thread::sleep_for(milliseconds(20));  // the window is busy
      self->setInterval(100);
    } else {
      self->setEnabled(false);
    }
  });
  self = &timer;
  const auto armed = Steady::now();
  timer.setInterval(30);
  timer.setEnabled(true);
  QTRY_VERIFY_WITH_TIMEOUT(moments.size() >= 2, 10000);
  EXPECT_GE(moments[0], armed + milliseconds(30));
  EXPECT_LE(moments[0], ran[0]);
  EXPECT_GE(ran[1], moments[0] + milliseconds(100));  // never early
  // Unless the second tick itself came very late (a new beat then starts), it names its beat.
  if (ran[1] - (moments[0] + milliseconds(100)) <= Timer::kBeatKept) {
    EXPECT_EQ(moments[1] - moments[0], milliseconds(100));
  }
  const auto outside = timer.tickMoment();  // outside a tick: now
  EXPECT_GE(outside, ran[1]);
}

}  // namespace
}  // namespace kelvak
