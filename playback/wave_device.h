// The sound output the transmission plays its symbol blocks through.
#pragma once

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

  // Queues a block behind what was written before. False when the device refused it (for
  // instance after the sound server went away); the symbol is then simply not heard.
  virtual bool write(SymbolBlock block) = 0;

  // True while a written block has not finished playing.
  virtual bool busy() const = 0;

  // Sleeps until everything written has been played. Bounded by the audio still queued plus a
  // margin, so a dead or stuck server cannot hold the caller for long. True when all was played.
  virtual bool waitUntilPlayed() = 0;

  // Closes the output, dropping anything still queued. Does nothing when not open.
  virtual void close() = 0;
};

}  // namespace kelvak
