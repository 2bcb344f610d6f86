// Precise QTimer behind the transmission's timer interface.
#include "ui/qt_timer.h"

#include <algorithm>
#include <limits>

namespace kelvak {

QtTimer::QtTimer(std::function<void()> onTick, QObject* parent)
    : QObject(parent), onTick_(std::move(onTick)) {
  timer_.setTimerType(Qt::PreciseTimer);
  // One shot per tick, each aimed at the beat.
  timer_.setSingleShot(true);
  connect(&timer_, &QTimer::timeout, this, [this] { fire(); });
}

QtTimer::Clock::time_point QtTimer::tickMoment() const { return inTick_ ? tickDue_ : Clock::now(); }

void QtTimer::fire() {
  const auto now = Clock::now();
  // Far behind the beat the window was held up: a new beat starts now.
  tickDue_ = now - nextDue_ > kBeatKept ? now : nextDue_;
  inTick_ = true;
  rearmedInTick_ = false;
  if (onTick_) onTick_();
  inTick_ = false;
  if (!rearmedInTick_ && enabled_) rearm();  // the next tick one interval after this one's beat
}

void QtTimer::schedule(Clock::time_point due) {
  nextDue_ = due;
  const auto wait = std::chrono::ceil<std::chrono::milliseconds>(due - Clock::now());
  timer_.start(static_cast<int>(std::max<std::chrono::milliseconds::rep>(0, wait.count())));
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
  if (inTick_) rearmedInTick_ = true;
  if (enabled_ && interval_ > 0 && interval_ <= kLongest) {
    // From now, or inside a tick from the moment it was due.
    schedule(tickMoment() + std::chrono::milliseconds(interval_));
  } else {
    timer_.stop();
  }
}

}  // namespace kelvak
