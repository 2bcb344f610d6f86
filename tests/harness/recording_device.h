// A sound device wrapper that notes every block written and when, for the sound tests.
#pragma once

#include <chrono>
#include <vector>

#include "playback/wave_device.h"

namespace kelvak::testing {

// Passes every call on to the real device and keeps a log of the writes it accepted.
class RecordingDevice : public WaveDevice {
 public:
  using Clock = std::chrono::steady_clock;
  struct Write {
    SymbolBlock block;
    Clock::time_point at;      // just before the real write
    Clock::time_point moment;  // when it was due by the timer's beat, at the latest `at`
    bool accepted;
  };

  explicit RecordingDevice(WaveDevice& real) : real_(real) {}

  bool open() override { return real_.open(); }
  bool isOpen() const override { return real_.isOpen(); }
  using WaveDevice::write;
  bool write(SymbolBlock block, std::size_t toneSamples, Clock::time_point moment) override {
    const auto at = Clock::now();
    const bool ok = real_.write(block, toneSamples, moment);
    writes.push_back({std::move(block), at, std::min(moment, at), ok});
    return ok;
  }
  bool busy() const override { return real_.busy(); }
  bool waitUntilPlayed() override { return real_.waitUntilPlayed(); }
  void close() override { real_.close(); }

  std::vector<Write> writes;

 private:
  WaveDevice& real_;
};

}  // namespace kelvak::testing
