// An export's work on a thread of its own while the window's event loop goes on: how far it has
// come, the cancel the window asks for, and what it came to. Each toolkit's progress window polls
// it.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <functional>
#include <thread>

#include "presenter/main_view.h"

namespace kelvak {

class ExportWorker {
 public:
  // Starts `work` at once; `ended` runs on the worker's thread as its last step, to wake the
  // window's loop. `work` must outlive the worker.
  ExportWorker(const ExportWork& work, std::function<void()> ended);
  ~ExportWorker();
  ExportWorker(const ExportWorker&) = delete;
  ExportWorker& operator=(const ExportWorker&) = delete;

  // How far the work has come, in `steps` (0..steps).
  int progress(int steps) const {
    const auto done = done_.load();  // before the total, which is written before it
    return static_cast<int>(std::clamp<std::int64_t>(done * steps / total_.load(), 0, steps));
  }
  // The work has returned or thrown.
  bool finished() const { return finished_; }
  // The work stops at its next step.
  void cancel() { cancel_ = true; }
  // Waits for the work and tells what it came to (never `quit`: that is the window's).
  ExportRun join();

 private:
  std::atomic<std::int64_t> done_{0}, total_{1};
  std::atomic<bool> cancel_{false}, finished_{false};
  ExportRun run_;
  std::thread thread_;  // last: it starts once everything above stands
};

}  // namespace kelvak
