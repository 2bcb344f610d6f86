// The sound devices' bounded wait for their last block.
#pragma once

#include <algorithm>
#include <chrono>
#include <thread>

namespace kelvak {

// A duration in milliseconds, on the steady clock's own scale.
inline std::chrono::steady_clock::duration millis(double ms) {
  return std::chrono::duration_cast<std::chrono::steady_clock::duration>(
      std::chrono::duration<double, std::milli>(ms));
}

// Checks `busy` every `step` until it says false (true) or `deadline` has passed (false). The
// deadline is what keeps a stuck sound server from holding the window.
template <class Busy>
bool waitWhileBusy(const Busy& busy, std::chrono::steady_clock::time_point deadline,
                   std::chrono::steady_clock::duration step) {
  for (;;) {
    if (!busy()) return true;
    const auto now = std::chrono::steady_clock::now();
    if (now >= deadline) return false;
    std::this_thread::sleep_for(std::min(step, deadline - now));
  }
}

}  // namespace kelvak
