// A timer-queue timer for the beat's single shot. The shot fires on a pool thread, which only posts
// a message: the tick itself runs on the window's thread, as every other event.
#include "win32/timer.h"

namespace kelvak::win32 {

namespace {

void CALLBACK shotFired(void* parameter, BOOLEAN) {
  const auto* shot = static_cast<const Win32Timer::Shot*>(parameter);
  PostMessageW(shot->window, kTimerShotMessage, shot->number, 0);
}

}  // namespace

Win32Timer::Win32Timer(HWND window, std::function<void()> onTick)
    : BeatTimer(std::move(onTick)), shot_{window, 0} {}

Win32Timer::~Win32Timer() { stopShot(); }

void Win32Timer::startShot(int ms) {
  stopShot();
  shot_.number = armed_ = ++next_;
  if (!CreateTimerQueueTimer(&queueTimer_, nullptr, shotFired, &shot_, static_cast<DWORD>(ms), 0,
                             WT_EXECUTEONLYONCE | WT_EXECUTEINTIMERTHREAD)) {
    queueTimer_ = nullptr;
    // No timer to be had: the shot comes at once, and the beat holds the rhythm.
    PostMessageW(shot_.window, kTimerShotMessage, armed_, 0);
  }
}

void Win32Timer::stopShot() {
  armed_ = 0;
  if (queueTimer_) {
    // Waits for a callback running now, which reads shot_; a shot already posted is told apart
    // by its number.
    DeleteTimerQueueTimer(nullptr, queueTimer_, INVALID_HANDLE_VALUE);
    queueTimer_ = nullptr;
  }
}

void Win32Timer::shotArrived(WPARAM shot) {
  if (shot == 0 || shot != armed_) return;  // stopped or re-armed since
  armed_ = 0;
  fire();
}

}  // namespace kelvak::win32
