// The sound output the transmission plays its symbol blocks through.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>

#include "synth/symbol_block.h"

namespace kelvak {

// Unsigned 8-bit mono PCM at 11025 samples per second. Each block sounds at the sample position it
// is written for; blocks play in the order written. The device holds a reference to every block
// until it has been played, so the caller may drop or re-form its set at any time.
class WaveDevice {
 public:
  virtual ~WaveDevice() = default;

  // Opens the output; false when no output can be had (no server, no device).
  virtual bool open() = 0;
  virtual bool isOpen() const = 0;

  using Clock = std::chrono::steady_clock;

  // How late a tick may come, behind its place less the lead, without changing anything heard: a
  // window held up by a busy machine or paged out for a moment [ms].
  static constexpr std::int64_t kLateTickMs = 160;

  // Positions count samples from a point the device fixes at open, one lead (leadSamples) after
  // the sample heard at that moment: position 0 sounds about one lead after the open, and every
  // later position the same number of samples after it by the stream's own clock. A transmission
  // started right after the open thus hands each block over one lead before its place.
  //
  // Queues a block to start at `position`, or right behind the tone of the block before should
  // that still sound there; a block that comes after the samples at its place have gone to the
  // server starts at the first one still to go. Its first `toneSamples` carry tone and the rest is
  // a silent tail, which the next block may cut (see blockStart). False when the device refused
  // the block (for instance after the sound server went away); the symbol is then simply not
  // heard.
  virtual bool write(SymbolBlock block, std::size_t toneSamples, std::int64_t position) = 0;
  // A block that is all tone, one lead from now. Devices bring it in with `using
  // WaveDevice::write;`.
  bool write(SymbolBlock block) {
    const std::size_t n = block ? block->size() : 0;
    return write(std::move(block), n, heardAt(Clock::now()) + leadSamples());
  }

  // The position being heard at `moment`, by the stream's clock [samples]; negative before
  // position 0 sounds. Only meaningful while open.
  virtual std::int64_t heardAt(Clock::time_point moment) const = 0;
  // How far ahead of its place a block is meant to be handed over [samples]: enough that a tick
  // held up by a busy machine still comes before the server needs its samples. 0 for a device
  // that places a block wherever it comes.
  virtual std::int64_t leadSamples() const { return 0; }

  // True while a written block has not finished playing.
  virtual bool busy() const = 0;

  // Sleeps until everything written has been played, the last block to its end however long it
  // is. Bounded by the audio still to be heard plus a margin; a server that goes away or stops
  // taking sound ends the wait early, so it cannot hold the caller. True when all was played.
  virtual bool waitUntilPlayed() = 0;

  // Closes the output, dropping anything still queued. Does nothing when not open.
  virtual void close() = 0;

  // --- health, as the sound server shows it ---
  // False once the output failed while open (the server went away).
  virtual bool alive() const { return isOpen(); }
  // The server has stopped taking sound for longer than the device allows: it is stuck.
  virtual bool stalled() const { return false; }
  // The lead in milliseconds; 0 when not open.
  virtual double latencyMs() const { return 0; }
  // Why the last open failed, in the sound library's or the server's own words; empty after a
  // successful open.
  virtual std::string openError() const { return {}; }
};

}  // namespace kelvak
