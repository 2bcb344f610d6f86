// The window's timer on the real steady clock, for playing whole transmissions in sound tests.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <vector>

#include "playback/timer.h"

namespace kelvak::testing {

// The same re-arming rules as the window's timer: a changed interval or a switch-on counts the
// next tick from that moment (inside a tick, from the moment the tick was due); otherwise ticks
// follow one another one interval apart, counted from when each was due, so late wake-ups do not
// add up.
class RealtimeTimer : public Timer {
 public:
  using Clock = std::chrono::steady_clock;

  bool enabled() const override { return on_; }
  void setEnabled(bool on) override;
  std::uint32_t interval() const override { return ms_; }
  void setInterval(std::uint32_t ms) override;
  Clock::time_point tickMoment() const override { return inTick_ ? tickDue_ : Clock::now(); }

  // Sleeps until each tick falls due and runs `tick`, until the timer is switched off or
  // `limit` has passed. False when the limit ended it. `poll`, if given, runs after every tick and
  // again whenever the time it asked for [ms; -1: none] has passed, as the window's single-shot
  // timer for the pane does (Transmission::followSound).
  bool run(const std::function<void()>& tick, Clock::duration limit,
           const std::function<int()>& poll = {});

  // How late each tick of run() started after it fell due [ms].
  const std::vector<double>& lateness() const { return lateness_; }

 private:
  bool on_ = false;
  std::uint32_t ms_ = kInitialInterval;
  Clock::time_point due_{};
  bool inTick_ = false;
  Clock::time_point tickDue_{};
  std::vector<double> lateness_;
};

}  // namespace kelvak::testing
