// Precise QTimer behind the transmission's timer interface.
#include "ui/qt_timer.h"

#include <limits>

namespace kelvak {

QtTimer::QtTimer(std::function<void()> onTick, QObject* parent)
    : QObject(parent), onTick_(std::move(onTick)) {
  timer_.setTimerType(Qt::PreciseTimer);
  timer_.setSingleShot(false);
  connect(&timer_, &QTimer::timeout, this, [this] {
    if (onTick_) onTick_();
  });
}

void QtTimer::setEnabled(bool on) {
  if (on == enabled_) return;
  enabled_ = on;
  rearm();
}

void QtTimer::setInterval(std::uint32_t ms) {
  if (ms == interval_) return;
  interval_ = ms;
  rearm();
}

void QtTimer::rearm() {
  constexpr auto kLongest = static_cast<std::uint32_t>(std::numeric_limits<int>::max());
  if (enabled_ && interval_ > 0 && interval_ <= kLongest) {
    timer_.start(static_cast<int>(interval_));  // restarts the countdown from now
  } else {
    timer_.stop();
  }
}

}  // namespace kelvak
