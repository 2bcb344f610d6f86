// The program's sound output: PulseAudio where a compatible server answers, SDL otherwise.
#pragma once

#include <string>

#include "playback/wave_device.h"
#include "sound/pulse_wave_device.h"
#include "sound/sdl_wave_device.h"

namespace kelvak {

// Chooses the output at every open: the native PulseAudio device when a PulseAudio-compatible
// server (PulseAudio, or PipeWire's PulseAudio service) answers, and SDL (ALSA and the rest) only
// when none does. A server that is there but does not answer in time is not passed to SDL, which
// would wait on the very same server. When no output opens, the libraries' own reasons go to
// standard error; the window shows its usual message.
class AutoWaveDevice : public WaveDevice {
 public:
  enum class Output { None, Pulse, Sdl };

  AutoWaveDevice() = default;
  explicit AutoWaveDevice(PulseWaveDevice::Options pulseOptions) : pulse_(pulseOptions) {}

  bool open() override;
  bool isOpen() const override { return active_ && active_->isOpen(); }
  using WaveDevice::write;
  bool write(SymbolBlock block, std::size_t toneSamples, std::int64_t position) override;
  std::int64_t heardAt(Clock::time_point moment) const override {
    return isOpen() ? active_->heardAt(moment) : 0;
  }
  std::int64_t leadSamples() const override { return isOpen() ? active_->leadSamples() : 0; }
  bool busy() const override { return isOpen() && active_->busy(); }
  bool waitUntilPlayed() override { return !isOpen() || active_->waitUntilPlayed(); }
  void close() override;

  // The output the last successful open chose; None while closed.
  Output output() const { return isOpen() ? output_ : Output::None; }
  // The chosen output's health; a closed device is not alive.
  bool alive() const override { return isOpen() && active_->alive(); }
  bool stalled() const override { return isOpen() && active_->stalled(); }
  double latencyMs() const override { return isOpen() ? active_->latencyMs() : 0; }
  // Why the last open failed, one line naming each output tried; empty after a success.
  std::string openError() const override { return openError_; }

 private:
  PulseWaveDevice pulse_;
  SdlWaveDevice sdl_;
  WaveDevice* active_ = nullptr;
  Output output_ = Output::None;
  std::string openError_;
};

}  // namespace kelvak
