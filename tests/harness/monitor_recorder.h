// Recording what a private PulseAudio server's null sink plays, with parec, for the sound tests.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tests/harness/child_process.h"
#include "tests/harness/pulse_server.h"

namespace kelvak::testing {

// Records the sink's monitor in the sink's own format, which must be 8-bit (by default unsigned
// 8-bit mono at 11025 Hz: the very bytes the device handed over). Also notes when each piece
// arrived, to tell on the steady clock when a recorded sample left the server.
class MonitorRecorder {
 public:
  using Clock = std::chrono::steady_clock;

  // Records `server`, which must outlive the recorder.
  explicit MonitorRecorder(const PulseServer& server);
  ~MonitorRecorder();
  MonitorRecorder(const MonitorRecorder&) = delete;
  MonitorRecorder& operator=(const MonitorRecorder&) = delete;

  // Starts parec and waits until samples flow.
  bool start(std::string* error = nullptr);
  void stop();

  std::vector<std::uint8_t> samples() const;
  std::size_t sampleCount() const;
  // Upper bound for the moment sample n (counted from the start of the recording) left the
  // server, on the sink's measured clock.
  Clock::time_point timeOf(double n) const;
  // The sample that left the server at `t`, by the same clock: the inverse of timeOf.
  double sampleAt(Clock::time_point t) const;
  int rate() const { return rate_; }
  // The sink's real pace on the steady clock, from when the pieces arrived [samples/s]; the
  // nominal rate when the recording is too short to tell.
  double measuredRate() const;

 private:
  void readLoop();

  const PulseServer& server_;  // read at start(), when the server runs
  SinkFormat format_;
  std::string log_;
  int rate_ = 0;
  ChildProcess process_;
  std::thread reader_;
  std::atomic<bool> stopping_{false};
  mutable std::mutex mutex_;
  std::vector<std::uint8_t> data_;
  struct Arrival {
    double at;        // [s since epoch_]
    double received;  // samples received by then
  };
  std::vector<Arrival> arrivals_;
  Clock::time_point epoch_ = Clock::now();
};

}  // namespace kelvak::testing
