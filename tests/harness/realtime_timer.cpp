// The window's timer on the steady clock: re-arming, and a sleeping tick loop.
#include "tests/harness/realtime_timer.h"

#include <optional>
#include <thread>

namespace kelvak::testing {

void RealtimeTimer::setEnabled(bool on) {
  if (on == on_) return;
  on_ = on;
  if (on_) due_ = tickMoment() + std::chrono::milliseconds(ms_);
}

void RealtimeTimer::setInterval(std::uint32_t ms) {
  if (ms == ms_) return;
  ms_ = ms;
  if (on_) due_ = tickMoment() + std::chrono::milliseconds(ms_);
}

bool RealtimeTimer::run(const std::function<void()>& tick, Clock::duration limit,
                        const std::function<int()>& poll) {
  const auto until = Clock::now() + limit;
  std::optional<Clock::time_point> pollDue;
  auto polled = [&] {
    const int ms = poll ? poll() : -1;
    if (ms >= 0) {
      pollDue = Clock::now() + std::chrono::milliseconds(ms);
    } else {
      pollDue.reset();
    }
  };
  while (on_ && ms_ > 0) {
    if (due_ > until) return false;
    if (pollDue && *pollDue < due_) {
      std::this_thread::sleep_until(*pollDue);
      polled();
      continue;
    }
    std::this_thread::sleep_until(due_);
    lateness_.push_back(std::chrono::duration<double, std::milli>(Clock::now() - due_).count());
    const auto now = Clock::now();
    tickDue_ = now - due_ > kBeatKept ? now : due_;
    due_ = tickDue_ + std::chrono::milliseconds(ms_);
    inTick_ = true;
    tick();
    inTick_ = false;
    polled();
  }
  return true;
}

}  // namespace kelvak::testing
