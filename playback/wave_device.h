// The sound output the transmission plays its symbol blocks through.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>
#include <utility>

#include "synth/symbol_block.h"

namespace kelvak {

// Unsigned 8-bit mono PCM at 11025 samples per second. Blocks play in the order written; a block
// written while nothing sounds starts at once. The device holds a reference to every block until
// it has been played, so the caller may drop or re-form its set at any time.
class WaveDevice {
 public:
  virtual ~WaveDevice() = default;

  // Opens the output; false when no output can be had (no server, no device).
  virtual bool open() = 0;
  virtual bool isOpen() const = 0;

  using Clock = std::chrono::steady_clock;

  // Queues a block to sound one constant latency after `moment`, or behind what was written
  // before: the block's first `toneSamples` carry tone and the rest is a silent tail, which the
  // next block may cut when it comes while that tail plays (see blockStart). `moment` is
  // when the symbol is due by the transmission's beat (Timer::tickMoment), at the latest now: a
  // tick that ran a little late still sounds on its beat. False when the device refused the block
  // (for instance after the sound server went away); the symbol is then simply not heard.
  virtual bool write(SymbolBlock block, std::size_t toneSamples, Clock::time_point moment) = 0;
  // A block that is all tone, due now. Devices bring it in with `using WaveDevice::write;`.
  bool write(SymbolBlock block) {
    const std::size_t n = block ? block->size() : 0;
    return write(std::move(block), n, Clock::now());
  }

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
  // From a block's moment to the moment it is heard [ms]; 0 when not open.
  virtual double latencyMs() const { return 0; }
  // Why the last open failed, in the sound library's or the server's own words; empty after a
  // successful open.
  virtual std::string openError() const { return {}; }
};

}  // namespace kelvak
