// Test doubles: manual clock and recording controls.
#include "tests/fakes/fakes.h"

#include "playback/transmission.h"

namespace kelvak::testing {

void FakeControls::setStatusText(const std::string& utf8) {
  status = utf8;
  if (utf8 == kFormingStatus) ++formingsShown;
}

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
  now = due;
  due = now + ms;
  tick();
  return true;
}

}  // namespace kelvak::testing
