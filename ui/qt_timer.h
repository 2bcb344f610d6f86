// The transmission's timer on a precise QTimer.
#pragma once

#include <QObject>
#include <QTimer>
#include <functional>

#include "playback/timer.h"

namespace kelvak {

// A Morse rhythm cannot afford the default coarse timer (up to 5% off), so this runs on a precise
// one. Setting Enabled or Interval to a different value re-arms it: the next tick comes one full
// interval later. The same value changes nothing. Interval 0 means no tick; an interval beyond
// what QTimer takes (over 24 days) never ticks either.
class QtTimer : public QObject, public Timer {
  Q_OBJECT

 public:
  explicit QtTimer(std::function<void()> onTick, QObject* parent = nullptr);

  bool enabled() const override { return enabled_; }
  void setEnabled(bool on) override;
  std::uint32_t interval() const override { return interval_; }
  void setInterval(std::uint32_t ms) override;

  // True while a tick is on its way.
  bool armed() const { return timer_.isActive(); }
  // [ms] until the next tick; -1 when none is coming.
  int remainingTime() const { return timer_.remainingTime(); }
  Qt::TimerType timerType() const { return timer_.timerType(); }

 private:
  void rearm();

  QTimer timer_;
  std::function<void()> onTick_;
  bool enabled_ = false;
  std::uint32_t interval_ = kInitialInterval;  // [ms]
};

}  // namespace kelvak
