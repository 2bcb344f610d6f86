// Real-time scheduling for the thread that feeds the sound server.
#pragma once

#include <sys/types.h>

#include <string>

namespace kelvak {

// How a request for real-time scheduling ended.
struct RealtimeGrant {
  bool granted = false;
  std::string how;  // "RealtimeKit", "direct; <why not RealtimeKit>", or why neither worked
};

// Asks for round-robin real-time scheduling at `priority` for thread `tid` of this process: first
// from RealtimeKit on the system bus (a desktop grants it there to unprivileged programs), else
// directly, which succeeds only where this process may raise itself (a privileged user, or a
// real-time limit above zero). A thread that gets neither keeps its normal scheduling: nothing
// else changes. Blocks for at most about one second (the bus call), so call it from a thread
// that may wait, never from the window's or the feeding thread.
RealtimeGrant requestRealtime(pid_t tid, int priority);

}  // namespace kelvak
