// The periodic timer that paces a transmission.
#pragma once

#include <cstdint>

namespace kelvak {

// Setting Enabled or Interval to a value different from the current one re-arms the timer, so the
// next tick comes one full interval after that moment; setting the same value changes nothing.
// While the interval is 0 no tick comes. A new timer is disabled with an interval of 1000 ms.
class Timer {
 public:
  static constexpr std::uint32_t kInitialInterval = 1000;  // [ms]

  virtual ~Timer() = default;
  virtual bool enabled() const = 0;
  virtual void setEnabled(bool on) = 0;
  virtual std::uint32_t interval() const = 0;  // [ms]
  virtual void setInterval(std::uint32_t ms) = 0;
};

}  // namespace kelvak
