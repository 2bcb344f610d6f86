// The sound output on Windows, through the waveOut functions of winmm.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "playback/wave_device.h"

namespace kelvak {

// One waveOut stream of unsigned 8-bit mono at 11025 Hz, fed by a thread of its own from the
// device's output timeline: kBuffers buffers of kBufferSamples each are kept queued, and each one
// the driver hands back is filled with the timeline's next samples and queued again, so a stall of
// the feeding thread shorter than the queue plays on from it. Blocks are placed on the timeline at
// their positions, and the timeline's clock map follows the stream's own clock, waveOutGetPosition
// in samples: position 0 is the sample heard at the open plus one lead, so a transmission that
// hands each block over one lead before its place by that clock may run up to
// WaveDevice::kLateTickMs late and change nothing heard.
//
// Nothing here waits on the driver without a bound: the driver is opened, fed and closed on the
// feeding thread alone; open() gives up after kOpenLimit, and a close hands what is left to that
// thread without waiting for it. Call from one thread (the window's).
class WaveOutDevice : public WaveDevice {
 public:
  using Clock = std::chrono::steady_clock;

  // One buffer [samples]: 10 ms, the period Windows' audio engine (and Wine's) mixes in.
  static constexpr std::uint32_t kBufferSamples = 110;
  // Buffers kept queued: 200 ms of sound, which a stalled feeding thread plays on from.
  static constexpr int kBuffers = 20;
  // The lead [samples]: the queue, kLateTickMs and a margin of 10 ms, about 370 ms. Grows before
  // the first block, should the driver report that it holds more than the queue (never beyond a
  // second).
  static constexpr std::int64_t kLeadMargin = 110;
  static constexpr std::int64_t kLeadLimit = 11025;
  // open() gives up on a driver that has not opened by then. Longer than on Linux: the first open
  // of a run loads Windows' audio engine, which under Wine takes some hundred milliseconds.
  static constexpr std::chrono::milliseconds kOpenLimit{1500};
  // How long the driver may go without handing a buffer back before it counts as stuck; a wait
  // for the sound to end gives up then.
  static constexpr std::chrono::milliseconds kStallLimit{300};
  // Added to the time the sound still to be heard takes, to bound waitUntilPlayed.
  static constexpr std::chrono::milliseconds kWaitMargin{100};
  static constexpr std::chrono::milliseconds kWaitStep{2};
  // A close after the wait for the sound lets the driver play out what it holds, feeding it
  // silence on the feeding thread for this long before the reset.
  static constexpr std::chrono::milliseconds kDrainLimit{600};

  WaveOutDevice();
  ~WaveOutDevice() override;
  WaveOutDevice(const WaveOutDevice&) = delete;
  WaveOutDevice& operator=(const WaveOutDevice&) = delete;

  bool open() override;
  bool isOpen() const override { return stream_ != nullptr; }
  // False when not open, or when the driver failed or stopped taking sound.
  using WaveDevice::write;
  bool write(SymbolBlock block, std::size_t toneSamples, std::int64_t position) override;
  std::int64_t heardAt(Clock::time_point moment) const override;
  std::int64_t leadSamples() const override;
  bool busy() const override;
  bool waitUntilPlayed() override;
  void close() override;

  bool alive() const override;
  // The driver has handed no buffer back for longer than kStallLimit: it is stuck.
  bool stalled() const override;
  double latencyMs() const override;
  // Why the last open failed, in winmm's own words.
  std::string openError() const override { return openError_; }

  // Blocks that could not start at their place because their samples had been queued already,
  // and jumps of the stream's clock the timeline took, since this device was made.
  int latePlacements() const { return latePlacements_; }
  int clockJumps() const;
  // Times the driver had played every buffer queued before the feeding thread gave it the next
  // (the thread was held up longer than the queue lasts), since this device was made.
  int dryRuns() const;
  // Holds the feeding thread for `duration`, as a busy machine might, to show what the queue
  // bridges. For tests and measurements.
  void stallFeedingThread(std::chrono::milliseconds duration);

 private:
  struct Stream;

  std::shared_ptr<Stream> stream_;
  std::string openError_;
  int latePlacements_ = 0;
  int closedJumps_ = 0;  // clock jumps of the streams closed before
  int closedDryRuns_ = 0;
  bool waited_ = false;  // the sound was waited for since the last write: a close lets it play out
};

}  // namespace kelvak
