// The real sound output: SDL2's audio subsystem feeding the device's own output timeline.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "playback/wave_device.h"

namespace kelvak {

// Plays through whatever SDL reaches (PulseAudio, PipeWire, ALSA; SDL_AUDIODRIVER picks another).
// Each open initialises SDL's audio subsystem afresh, so a sound server started after the program
// is found at the next Play. Blocks sound at their positions, position 0 one lead after the open;
// see OutputTimeline.
//
// Call from one thread (the window's); SDL's audio thread only runs the callback.
class SdlWaveDevice : public WaveDevice {
 public:
  // Samples SDL is asked to take per callback; about 23 ms at 11025 Hz. PulseAudio then keeps
  // as much queued, which a busy machine needs: with 128 the server ran dry now and then under
  // load, cutting or stretching elements.
  static constexpr int kPeriod = 256;  // [samples]
  // Added to one period and kLateTickMs to make the lead: room for the clock map to be a little
  // behind the callbacks (it follows a fast sound card clock in steps of a few samples).
  static constexpr int kLeadMargin = 22;  // [samples], 2 ms
  // How long the callback may stay away before the server counts as stuck; a wait for the sound
  // to end gives up then.
  static constexpr std::chrono::milliseconds kStallLimit{300};
  // How long open() waits for the closing of a device whose server was stuck.
  static constexpr std::chrono::milliseconds kPendingCloseWait{300};
  // Added to two periods for the time the server takes to play what it was handed.
  static constexpr std::chrono::milliseconds kServerAllowance{20};
  // The last sample counts as played only once the server has asked for this many periods more.
  static constexpr int kPeriodsAfterLast = 2;
  // Added to the audio still queued (the last block whole) to bound waitUntilPlayed.
  static constexpr std::chrono::milliseconds kWaitMargin{250};
  // Step of waitUntilPlayed's sleeps.
  static constexpr std::chrono::milliseconds kWaitStep{2};
  // A close that lets written sound play out gives up when SDL has asked for nothing this long.
  static constexpr std::chrono::milliseconds kDrainGiveUp{1000};

  // period: samples per callback to ask SDL for [samples].
  explicit SdlWaveDevice(int period = kPeriod);
  ~SdlWaveDevice() override;
  SdlWaveDevice(const SdlWaveDevice&) = delete;
  SdlWaveDevice& operator=(const SdlWaveDevice&) = delete;

  bool open() override;
  bool isOpen() const override { return device_ != 0; }
  // False when not open, or when the server has gone away or stopped taking sound.
  using WaveDevice::write;
  bool write(SymbolBlock block, std::size_t toneSamples, std::int64_t position) override;
  std::int64_t heardAt(Clock::time_point moment) const override;
  std::int64_t leadSamples() const override;
  bool busy() const override;
  bool waitUntilPlayed() override;
  void close() override;

  // False once the sound server went away.
  bool alive() const override;
  // The audio callback has stayed away longer than kStallLimit: the server is stuck.
  bool stalled() const override;
  // The lead [ms]; 0 when not open.
  double latencyMs() const override;
  // After the last sample is handed to the server, how long it is taken to still sound [ms].
  double serverLatencyMs() const;
  // Samples per callback that SDL granted; 0 when not open.
  int periodSamples() const;
  // Why the last open failed, in SDL's words.
  std::string openError() const override { return openError_; }
  // A device closed earlier is still letting its sound play out, or waiting for a stuck server.
  static bool closing();

 private:
  struct Shared;
  // SDL's audio callback (SDL_AudioCallback); userdata is the Shared block.
  static void feed(void* userdata, std::uint8_t* stream, int len);

  int requestedPeriod_;
  // Reached by the audio callback. A fresh one for every open: a device closed while its server
  // was stuck keeps its own until SDL lets go of it.
  std::shared_ptr<Shared> shared_;
  std::uint32_t device_ = 0;   // SDL_AudioDeviceID; 0 when closed
  bool drainOnClose_ = false;  // the last wait gave up with sound still to play
  std::string openError_;
};

}  // namespace kelvak
