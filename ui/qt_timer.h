// The transmission's timer on a precise QTimer.
#pragma once

#include <QObject>
#include <QTimer>
#include <functional>

#include "playback/beat_timer.h"

namespace kelvak {

// A Morse rhythm cannot afford the default coarse timer (up to 5% off), so the beat runs on a
// precise single shot.
class QtTimer : public QObject, public BeatTimer {
  Q_OBJECT

 public:
  explicit QtTimer(std::function<void()> onTick, QObject* parent = nullptr);

  // True while a tick is on its way.
  bool armed() const { return timer_.isActive(); }
  // [ms] until the next tick; -1 when none is coming.
  int remainingTime() const { return timer_.remainingTime(); }
  Qt::TimerType timerType() const { return timer_.timerType(); }

 private:
  void startShot(int ms) override { timer_.start(ms); }
  void stopShot() override { timer_.stop(); }

  QTimer timer_;
};

}  // namespace kelvak
