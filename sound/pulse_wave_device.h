// The sound output on a PulseAudio-compatible server (PulseAudio itself, or PipeWire through its
// PulseAudio service), through libpulse's threaded main loop.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "playback/wave_device.h"

namespace kelvak {

// One playback stream of unsigned 8-bit mono at 11025 Hz with buffer sizes of our own: the server
// keeps kTargetLength queued, so the feeding thread (libpulse's main loop thread, which runs the
// refill callback) may stall for about 100 ms without the sound running dry, and asks for more in
// steps of kRefill. Blocks are placed on the device's own output timeline at their positions, and
// the timeline's clock map follows the stream's playback clock from the server's timing
// information: position 0 is the sample heard at the open plus one lead, so a transmission that
// hands each block over one lead before its place by that clock may run up to
// WaveDevice::kLateTickMs late and change nothing heard.
//
// Nothing here waits on the server without a bound: open() gives up after kOpenLimit, and every
// other call only queues data or reads the state the main loop thread keeps. Call from one thread
// (the window's).
class PulseWaveDevice : public WaveDevice {
 public:
  using Clock = std::chrono::steady_clock;

  // Audio the server keeps queued for the stream [samples]: 200 ms. A stall of the feeding thread,
  // or of the whole program, shorter than this, less the little the sink takes ahead and one
  // refill step, plays on from the queue: with 127 ms a program stopped for 100 ms once a second
  // ran dry once in 1000 characters, and so did a null sink catching up after the server itself
  // was starved under load; each time every later symbol sounded late.
  static constexpr std::uint32_t kTargetLength = 2205;
  // The refill step: the server asks for more whenever this much has been played [samples], 5 ms.
  // Short steps keep the queue close to its full length, which is what a stall draws on.
  static constexpr std::uint32_t kRefill = 55;
  // The lead [samples]: 380 ms. A block's samples go to the server one queue (counted from what
  // is heard, about 205 ms with the queue full) before they sound, so a tick handing its block
  // over one lead ahead may come up to the rest, about 175 ms, late: beyond kLateTickMs with a
  // little to spare. A longer lead would only delay what a slider changes.
  static constexpr std::int64_t kLead = 4190;
  // Before the first block the lead grows, should the server keep more than it was asked to, to
  // stay kLateTickMs and this margin [samples], 10 ms, above the queue; but never beyond
  // kLeadLimit (a second), whatever a confused server reports.
  static constexpr std::int64_t kLeadMargin = 110;
  static constexpr std::int64_t kLeadLimit = 11025;
  // open() gives up on a server that has not answered by then, so that Play answers within a
  // second, the forming and the message box included, also with two busy loops beside it (the box
  // then comes some 200 ms after the limit); a working server answers in milliseconds.
  static constexpr std::chrono::milliseconds kOpenLimit{500};
  // How long the server may go without asking for sound before it counts as stuck; a wait for
  // the sound to end gives up then.
  static constexpr std::chrono::milliseconds kStallLimit{300};
  // Added to the time the sound still to be heard takes, to bound waitUntilPlayed.
  static constexpr std::chrono::milliseconds kWaitMargin{100};
  static constexpr std::chrono::milliseconds kWaitStep{2};
  // A close after the wait for the sound lets the server play out what it holds, on a thread of
  // its own, for at most this long.
  static constexpr std::chrono::milliseconds kDrainLimit{1000};
  // Real-time priority asked for the feeding thread (RealtimeKit grants up to 20 by default).
  static constexpr int kRealtimePriority = 5;

  enum class OpenResult {
    Opened,
    NoServer,  // nothing PulseAudio-compatible answered: another output may be tried
    Failed,    // a server is there but did not answer in time or refused the stream
  };

  struct Options {
    bool realtime = true;  // ask for real-time scheduling of the feeding thread
  };

  // A reported underrun: when the device heard of it, and where on the stream [samples].
  struct Underrun {
    Clock::time_point at;
    std::int64_t position;
  };

  PulseWaveDevice();
  explicit PulseWaveDevice(Options options);
  ~PulseWaveDevice() override;
  PulseWaveDevice(const PulseWaveDevice&) = delete;
  PulseWaveDevice& operator=(const PulseWaveDevice&) = delete;

  OpenResult tryOpen();
  bool open() override { return tryOpen() == OpenResult::Opened; }
  bool isOpen() const override { return connection_ != nullptr; }
  // False when not open, or when the server has gone away or stopped asking for sound.
  using WaveDevice::write;
  bool write(SymbolBlock block, std::size_t toneSamples, std::int64_t position) override;
  std::int64_t heardAt(Clock::time_point moment) const override;
  std::int64_t leadSamples() const override;
  bool busy() const override;
  bool waitUntilPlayed() override;
  void close() override;

  // False once the connection or the stream failed (the server went away).
  bool alive() const override;
  // The server has not asked for sound for longer than kStallLimit: it is stuck.
  bool stalled() const override;
  // The lead [ms]; 0 when not open.
  double latencyMs() const override;
  // The queue the server granted and its refill step [samples]; 0 when not open.
  std::uint32_t targetLength() const;
  std::uint32_t refillSize() const;
  // Why the last open failed, in the library's or the server's own words.
  std::string openError() const override { return openError_; }
  // How the request for real-time scheduling of the feeding thread ended; empty while pending.
  std::string realtimeStatus() const;
  // Every underrun the server reported since this device was made, over all its opens.
  std::vector<Underrun> underruns() const;
  // Holds the feeding thread for `duration`, as a busy machine might, to show what the queue
  // bridges. For tests and measurements; the sound plays on from what the server holds.
  void stallFeedingThread(std::chrono::milliseconds duration);
  // Blocks that could not start at their place because their samples had gone to the server
  // already (the tick came more than the lead less the queue late), since this device was made.
  int latePlacements() const;
  // Jumps of the stream's clock the output timeline took (after underruns, or a server that
  // skipped), since this device was made.
  int clockJumps() const;

 private:
  struct Connection;
  struct Log;

  Options options_;
  std::shared_ptr<Log> log_;  // shared with the connections, which may outlive a close
  std::shared_ptr<Connection> connection_;
  std::string openError_;
  bool waited_ = false;  // the sound was waited for since the last write: a close lets it play out
};

}  // namespace kelvak
