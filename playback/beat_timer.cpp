// The beat kept by the transmission's timer.
#include "playback/beat_timer.h"

#include <algorithm>
#include <limits>

namespace kelvak {

BeatTimer::Clock::time_point BeatTimer::tickMoment() const {
  return inTick_ ? tickDue_ : Clock::now();
}

void BeatTimer::fire() {
  const auto now = Clock::now();
  // Far behind the beat the window was held up: a new beat starts now.
  tickDue_ = now - nextDue_ > kBeatKept ? now : nextDue_;
  inTick_ = true;
  rearmedInTick_ = false;
  if (onTick_) onTick_();
  inTick_ = false;
  if (!rearmedInTick_ && enabled_) rearm();  // the next tick one interval after this one's beat
}

void BeatTimer::schedule(Clock::time_point due) {
  nextDue_ = due;
  const auto wait = std::chrono::ceil<std::chrono::milliseconds>(due - Clock::now());
  startShot(static_cast<int>(std::max<std::chrono::milliseconds::rep>(0, wait.count())));
}

void BeatTimer::setEnabled(bool on) {
  if (on == enabled_) return;
  enabled_ = on;
  rearm();
}

void BeatTimer::setInterval(std::uint32_t ms) {
  if (ms == interval_) return;
  interval_ = ms;
  rearm();
}

void BeatTimer::rearm() {
  constexpr auto kLongest = static_cast<std::uint32_t>(std::numeric_limits<int>::max());
  if (inTick_) rearmedInTick_ = true;
  if (enabled_ && interval_ > 0 && interval_ <= kLongest) {
    // From now, or inside a tick from the moment it was due.
    schedule(tickMoment() + std::chrono::milliseconds(interval_));
  } else {
    stopShot();
  }
}

}  // namespace kelvak
