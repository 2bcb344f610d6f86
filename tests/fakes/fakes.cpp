// Test doubles: manual clock and recording controls.
#include "tests/fakes/fakes.h"

#include "playback/block_placement.h"
#include "playback/transmission.h"

namespace kelvak::testing {

void FakeTimer::runUntil(std::int64_t until, const std::function<void()>& tick) {
  while (armed() && due <= until) {
    now = due;
    due = now + ms;
    tick();
  }
  now = until;
}

bool FakeTimer::fireNext(const std::function<void()>& tick) {
  if (!armed()) return false;
  beat = due;
  now = beat + lateMs;
  due = beat + ms;
  inTick = true;
  tick();
  inTick = false;
  return true;
}

std::int64_t FakeDevice::heardAt(Clock::time_point moment) const {
  if (heard) return *heard;
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(moment.time_since_epoch());
  return msToSamples(ms.count() - openedAt, kSampleRate) - lead;
}

}  // namespace kelvak::testing
