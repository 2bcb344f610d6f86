// The history as the windows see it: read whole once on a thread of its own, then kept up to date
// by reading only what was appended, so that no window waits for a history of years.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "training/history.h"
#include "training/undo_check.h"

namespace kelvak {

// A file up to this size is read in place [bytes]: a few hundred checks take less time than a
// thread's start and the window's redraw after it.
inline constexpr std::int64_t kHistoryReadInPlaceBytes = 256 << 10;

class HistoryKeeper {
 public:
  // Runs a function on the window's thread, later.
  using Post = std::function<void(std::function<void()>)>;
  HistoryKeeper(const History& history, Post post);
  ~HistoryKeeper();  // waits for a reading still running
  HistoryKeeper(const HistoryKeeper&) = delete;
  HistoryKeeper& operator=(const HistoryKeeper&) = delete;

  const History& history() const { return history_; }

  // Starts reading the file whole on a thread of its own (a small file at once), unless that is
  // running or done.
  void start();
  // The whole reading is through: the summary holds the file.
  bool ready() const { return ready_; }
  // Brings the summary up to date: reads what was appended since, on the calling thread. A file
  // replaced by another program is read whole again, on the reading thread. Call on the window's
  // thread only. Before the first reading is through it holds nothing.
  void update();
  const HistorySummary& summary() const { return current_.summary; }
  // Why the file could not be read, with its path; empty when it was.
  const std::string& error() const { return error_; }

  // Called on the window's thread when a whole reading has come in.
  std::function<void()> changed;

  // Takes the history's last check out of the file and out of the summary (removeLastCheck()).
  std::optional<CheckRecord> removeLastCheck();

 private:
  void readWhole();

  const History& history_;
  Post post_;
  HistoryReading current_;  // the window thread's
  std::string error_;
  std::atomic<bool> ready_{false};
  std::atomic<bool> reading_{false};
  std::thread thread_;
  // Guards the life of this object against the reading thread's post.
  std::shared_ptr<std::atomic<bool>> alive_ = std::make_shared<std::atomic<bool>>(true);
};

}  // namespace kelvak
