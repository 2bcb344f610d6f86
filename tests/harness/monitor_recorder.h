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
  // What the server may keep for the recorder before it is read [ms]: with 2 ms a busy machine
  // made the server drop pieces of the recording (holes inside a long dash).
  static constexpr int kLatencyMs = 50;
  // Lateness of the most prompt piece that still counts as jitter, not loss [s].
  static constexpr double kLossToleranceS = 0.004;

  // Records `server`, which must outlive the recorder. latencyMs: how much the server may keep
  // before the recorder reads it [ms]; 0 leaves it to parec. The pane's figures want a short one,
  // and a busy machine a long one (see loss()).
  explicit MonitorRecorder(const PulseServer& server, int latencyMs = kLatencyMs);
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

  // Samples the recording lacks against the time it ran. A null sink plays on its own clock
  // whatever its clients do (it plays silence for a stream that runs dry), so the samples
  // received keep pace with the steady clock: pieces may come late, never early, and a recording
  // whose most prompt pieces fall behind for good has lost samples on the way (the server dropped
  // them while the recorder was starved, or the server itself fell behind). Such a recording says
  // nothing about the program.
  struct Loss {
    std::int64_t samples = 0;  // how many were lost [samples]; 0 when none beyond the tolerance
    double at = 0;             // when the loss first showed [s from the start of the recording]
  };
  Loss loss() const;
  // What the test judges has all been played: loss() looks at what arrived until now only. A
  // PipeWire graph may lose time when the program's stream closes and the graph changes its cycle,
  // which harms nothing the program played. Returns once the recording holds what sounded until
  // now, or after kCatchUpLimit (a recording that lost samples never does), which lossReport()
  // then names.
  void markEnd();
  // The words a test fails with when the recorder lost samples: a fault of the harness.
  std::string lossReport() const;

 private:
  // Below PulseAudio's sink thread and the program's feeding thread (5 each) and PipeWire's data
  // threads (88): the recorder must never hold up the sound it records.
  static constexpr int kRealtimePriority = 2;
  static constexpr std::chrono::seconds kCatchUpLimit{5};

  void readLoop();

  const PulseServer& server_;  // read at start(), when the server runs
  int latencyMs_;
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
  double end_ = -1;  // [s since epoch_]; -1: none
  bool behindAtEnd_ = false;  // markEnd() gave up waiting for the recording
  Clock::time_point epoch_ = Clock::now();
};

}  // namespace kelvak::testing
