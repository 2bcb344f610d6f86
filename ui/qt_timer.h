// The transmission's timer on a precise QTimer.
#pragma once

#include <QObject>
#include <QTimer>
#include <chrono>
#include <functional>

#include "playback/timer.h"

namespace kelvak {

// A Morse rhythm cannot afford the default coarse timer (up to 5% off), so this runs on a precise
// one. Setting Enabled or Interval to a different value re-arms it: the next tick comes one full
// interval later. The same value changes nothing. Interval 0 means no tick; an interval beyond
// what QTimer takes (over 24 days) never ticks either.
//
// The timer keeps its own beat on the steady clock: a re-arm made inside a tick counts from the
// moment that tick was due, not from when the busy window got round to it, and tickMoment()
// names that moment. A late tick thus does not shift the ticks after it (up to Timer::kBeatKept);
// where a symbol sounds does not depend on its tick at all.
class QtTimer : public QObject, public Timer {
  Q_OBJECT

 public:
  explicit QtTimer(std::function<void()> onTick, QObject* parent = nullptr);

  bool enabled() const override { return enabled_; }
  void setEnabled(bool on) override;
  std::uint32_t interval() const override { return interval_; }
  void setInterval(std::uint32_t ms) override;
  std::chrono::steady_clock::time_point tickMoment() const override;

  // True while a tick is on its way.
  bool armed() const { return timer_.isActive(); }
  // [ms] until the next tick; -1 when none is coming.
  int remainingTime() const { return timer_.remainingTime(); }
  Qt::TimerType timerType() const { return timer_.timerType(); }

 private:
  using Clock = std::chrono::steady_clock;

  void rearm();
  void fire();
  // Arms a single shot for the moment `due`, never before it.
  void schedule(Clock::time_point due);

  QTimer timer_;
  Clock::time_point nextDue_{};  // when the next tick falls due
  Clock::time_point tickDue_{};  // when the tick being handled was due
  bool inTick_ = false;
  bool rearmedInTick_ = false;
  std::function<void()> onTick_;
  bool enabled_ = false;
  std::uint32_t interval_ = kInitialInterval;  // [ms]
};

}  // namespace kelvak
