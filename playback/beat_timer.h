// The transmission's timer with a beat of its own, on any single-shot timer a toolkit offers.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>

#include "playback/timer.h"

namespace kelvak {

// Setting Enabled or Interval to a different value re-arms the timer: the next tick comes one full
// interval later. The same value changes nothing. Interval 0 means no tick; an interval beyond
// what a single shot takes (over 24 days) never ticks either.
//
// The timer keeps its own beat on the steady clock: a re-arm made inside a tick counts from the
// moment that tick was due, not from when the busy window got round to it, and tickMoment()
// names that moment. A late tick thus does not shift the ticks after it (up to Timer::kBeatKept);
// where a symbol sounds does not depend on its tick at all.
class BeatTimer : public Timer {
 public:
  explicit BeatTimer(std::function<void()> onTick) : onTick_(std::move(onTick)) {}

  bool enabled() const override { return enabled_; }
  void setEnabled(bool on) override;
  std::uint32_t interval() const override { return interval_; }
  void setInterval(std::uint32_t ms) override;
  std::chrono::steady_clock::time_point tickMoment() const override;

 protected:
  using Clock = std::chrono::steady_clock;
  // The toolkit's single shot, once it has fired: runs the tick and aims the next shot.
  void fire();
  // Arms the toolkit's single shot to fire after `ms` [ms] (0: as soon as it can), replacing
  // one that is armed.
  virtual void startShot(int ms) = 0;
  virtual void stopShot() = 0;

 private:
  void rearm();
  // Arms a single shot for the moment `due`, never before it.
  void schedule(Clock::time_point due);

  Clock::time_point nextDue_{};  // when the next tick falls due
  Clock::time_point tickDue_{};  // when the tick being handled was due
  bool inTick_ = false;
  bool rearmedInTick_ = false;
  std::function<void()> onTick_;
  bool enabled_ = false;
  std::uint32_t interval_ = kInitialInterval;  // [ms]
};

}  // namespace kelvak
