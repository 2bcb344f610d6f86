// A mutex that lends its waiter's priority to its holder.
#pragma once

#include <pthread.h>

namespace kelvak {

// The sound's feeding thread runs with real-time priority and shares its state with the window's
// thread through a mutex. With a plain mutex, the window's thread could be pre-empted by busy
// programs while it holds the lock, and the feeding thread would wait on it until the server ran
// dry (on two busy loops the stream underran during the last, long block, while Stop polled). With
// priority inheritance the holder runs at the waiter's priority until it lets go. Lockable, for
// std::lock_guard and std::unique_lock (with std::condition_variable_any).
class InheritingMutex {
 public:
  InheritingMutex() {
    pthread_mutexattr_t attr;
    pthread_mutexattr_init(&attr);
    pthread_mutexattr_setprotocol(&attr, PTHREAD_PRIO_INHERIT);
    pthread_mutex_init(&mutex_, &attr);
    pthread_mutexattr_destroy(&attr);
  }
  ~InheritingMutex() { pthread_mutex_destroy(&mutex_); }
  InheritingMutex(const InheritingMutex&) = delete;
  InheritingMutex& operator=(const InheritingMutex&) = delete;

  void lock() { pthread_mutex_lock(&mutex_); }
  bool try_lock() { return pthread_mutex_trylock(&mutex_) == 0; }
  void unlock() { pthread_mutex_unlock(&mutex_); }

 private:
  pthread_mutex_t mutex_;
};

}  // namespace kelvak
