// The window's thread as the history's keeper sees it: functions posted from another thread wait
// here until the thread that owns this runs them.
#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <vector>

namespace kelvak {

class FakeWindowThread {
 public:
  std::function<void(std::function<void()>)> post() {
    return [this](std::function<void()> f) {
      const std::lock_guard lock(mutex_);
      calls_.push_back(std::move(f));
      came_.notify_one();
    };
  }
  // Runs what is posted, waiting for more, until `done` holds.
  void runUntil(const std::function<bool()>& done) {
    while (!done()) {
      std::unique_lock lock(mutex_);
      came_.wait(lock, [this] { return !calls_.empty(); });
      std::vector<std::function<void()>> now;
      now.swap(calls_);
      lock.unlock();
      for (auto& f : now) f();
    }
  }

 private:
  std::mutex mutex_;
  std::condition_variable came_;
  std::vector<std::function<void()>> calls_;
};

}  // namespace kelvak
