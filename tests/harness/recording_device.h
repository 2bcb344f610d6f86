// A sound device wrapper that notes every block written and when, for the sound tests.
#pragma once

#include <chrono>
#include <cstdint>
#include <vector>

#include "playback/wave_device.h"

namespace kelvak::testing {

// Passes every call on to the real device and keeps a log of the writes it accepted.
class RecordingDevice : public WaveDevice {
 public:
  using Clock = std::chrono::steady_clock;
  struct Write {
    SymbolBlock block;
    Clock::time_point at;   // just before the real write
    std::int64_t position;  // where it was placed [samples]
    bool accepted;
    std::size_t toneSamples = 0;  // the block's tone; silence after it
  };

  explicit RecordingDevice(WaveDevice& real) : real_(real) {}

  bool open() override { return real_.open(); }
  bool isOpen() const override { return real_.isOpen(); }
  using WaveDevice::write;
  bool write(SymbolBlock block, std::size_t toneSamples, std::int64_t position) override {
    const auto at = Clock::now();
    const bool ok = real_.write(block, toneSamples, position);
    writes.push_back({std::move(block), at, position, ok, toneSamples});
    return ok;
  }
  std::int64_t heardAt(Clock::time_point moment) const override { return real_.heardAt(moment); }
  std::int64_t leadSamples() const override { return real_.leadSamples(); }
  bool busy() const override { return real_.busy(); }
  bool waitUntilPlayed() override { return real_.waitUntilPlayed(); }
  void close() override { real_.close(); }
  bool alive() const override { return real_.alive(); }
  bool stalled() const override { return real_.stalled(); }
  double latencyMs() const override { return real_.latencyMs(); }
  std::string openError() const override { return real_.openError(); }

  std::vector<Write> writes;

 private:
  WaveDevice& real_;
};

}  // namespace kelvak::testing
