// The periodic timer that paces a transmission.
#pragma once

#include <chrono>
#include <cstdint>

namespace kelvak {

// Setting Enabled or Interval to a value different from the current one re-arms the timer, so the
// next tick comes one full interval after that moment; setting the same value changes nothing.
// While the interval is 0 no tick comes. A new timer is disabled with an interval of 1000 ms.
class Timer {
 public:
  static constexpr std::uint32_t kInitialInterval = 1000;  // [ms]
  // A tick this far behind its beat (the thread was held up) starts a new beat from the moment it
  // runs, instead of hurrying the ticks after it; the transmission's steering brings the ticks
  // back ahead of the sound.
  static constexpr std::chrono::milliseconds kBeatKept{50};

  virtual ~Timer() = default;
  virtual bool enabled() const = 0;
  virtual void setEnabled(bool on) = 0;
  virtual std::uint32_t interval() const = 0;  // [ms]
  virtual void setInterval(std::uint32_t ms) = 0;

  // When the tick being handled fell due by the timer's own beat; outside a tick, now. A timer
  // that keeps a beat counts a re-arm made inside a tick from this moment, so a tick that runs
  // late does not push the ticks after it. The transmission asks the sound device how far ahead
  // of the sound this moment was, and counts a restart of the timer from it. A timer without a
  // beat of its own answers now.
  virtual std::chrono::steady_clock::time_point tickMoment() const { return currentMoment(); }
  // Now, on the clock the timer keeps its beat by. What the sound has reached is asked at this
  // moment: inside a tick that runs late, the beat's moment would show the sound as it was then.
  virtual std::chrono::steady_clock::time_point currentMoment() const {
    return std::chrono::steady_clock::now();
  }
};

}  // namespace kelvak
