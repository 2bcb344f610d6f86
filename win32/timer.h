// The transmission's timer on Windows: the beat's single shot from a timer-queue timer, delivered
// to the window's thread as a message.
#pragma once

#include <windows.h>

#include <functional>

#include "playback/beat_timer.h"

namespace kelvak::win32 {

// The message a shot posts to the window; the window calls Win32Timer::shotArrived.
inline constexpr UINT kTimerShotMessage = WM_APP + 1;

class Win32Timer : public BeatTimer {
 public:
  // Shots arrive as kTimerShotMessage posted to `window`, with the shot's number in wParam.
  Win32Timer(HWND window, std::function<void()> onTick);
  ~Win32Timer() override;
  Win32Timer(const Win32Timer&) = delete;
  Win32Timer& operator=(const Win32Timer&) = delete;

  // The window received kTimerShotMessage: a shot still armed runs the tick.
  void shotArrived(WPARAM shot);

  // What a shot posts, and where.
  struct Shot {
    HWND window;
    WPARAM number;
  };

 private:
  void startShot(int ms) override;
  void stopShot() override;

  Shot shot_;
  HANDLE queueTimer_ = nullptr;
  WPARAM armed_ = 0;  // the number of the shot armed; 0: none
  WPARAM next_ = 0;
};

}  // namespace kelvak::win32
