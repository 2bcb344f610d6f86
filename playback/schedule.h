// Where every symbol of a transmission sounds, in samples from the transmission's start: one rule
// for the window's sound and for the audio export, so a recording of the one equals the other.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>

#include "playback/block_placement.h"
#include "synth/buffer_forming.h"

namespace kelvak {

// The window's integers are 32-bit and wrap on overflow; so do the tick's sums and products.
constexpr std::int32_t wrap32(std::int64_t v) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(static_cast<std::uint64_t>(v)));
}

// The pause after a tick's symbol [units], from the field's integer: 4 × the group pause after the
// start signal and after every fifth character, 4 × the character pause − 4 otherwise.
constexpr std::int32_t pauseUnits(bool endOfGroup, std::int32_t field) {
  return endOfGroup ? wrap32(std::int64_t{4} * field) : wrap32(std::int64_t{4} * field - 4);
}

// The interval a tick sets [ms]: (P + L) × UnitMs. A negative result is a huge interval to the
// timer, which takes it unsigned.
constexpr std::int32_t tickIntervalMs(std::int32_t pause, std::int32_t length,
                                      std::int32_t unitMs) {
  return wrap32(std::int64_t{wrap32(std::int64_t{pause} + length)} * unitMs);
}

// The transmission starts (sample 0) when Play switches the timer on; its first tick, the start
// signal's, comes one timer interval later. Every tick after it comes one interval (the one the
// tick before set) after that tick. The running tick time is kept in milliseconds and turned into
// samples as a whole, so rounding never adds up. A tick's block starts at its tick time unless
// the tone of the block before still sounds then (blockStart).
//
// When the timer is started anew during a transmission (a slider re-formed the sound, or a pause
// ended), the next tick comes one interval after that restart: rebase() counts the running time
// from there on.
class TransmissionSchedule {
 public:
  struct Place {
    std::int64_t onset;  // the tick time [samples]
    std::int64_t start;  // where the block begins, after the overlap rule [samples]
  };

  explicit TransmissionSchedule(int sampleRate = kSampleRate) : sampleRate_(sampleRate) {}

  // A new transmission: nothing placed, the first tick `firstIntervalMs` after sample 0.
  void start(std::int64_t firstIntervalMs);
  // The timer was started again at `restart` [samples from the start]: the next tick comes
  // `intervalMs` after it, counted from no earlier than the end of the last block's tone.
  void rebase(std::int64_t restart, std::int64_t intervalMs);

  // A tick is due: its time, and the next tick one `heldIntervalMs` later (the interval the timer
  // holds, which a tick that fails before it sets a new one leaves as it is).
  std::int64_t beginTick(std::int64_t heldIntervalMs);
  // The due tick hands over a block of `length` samples whose last `silentTail` are silent.
  Place place(std::int64_t length, std::int64_t silentTail);
  // The due tick set the timer to `intervalMs`: the next tick comes that long after it.
  void setInterval(std::int64_t intervalMs);

  // Where the next tick falls [samples].
  std::int64_t nextOnset() const { return base_ + toSamples(nextMs_); }
  // One past the last tone sample of the last block placed; 0 before any [samples].
  std::int64_t toneEnd() const { return placed_ ? start_ + length_ - tail_ : 0; }
  // One past the last sample of the last block placed; 0 before any [samples].
  std::int64_t end() const { return placed_ ? start_ + length_ : 0; }
  // A duration from the start on a steady clock [ns] in samples, to the nearest; 0 for none.
  std::int64_t samplesOf(std::int64_t nanoseconds) const;

 private:
  std::int64_t toSamples(std::int64_t ms) const { return msToSamples(ms, sampleRate_); }

  int sampleRate_;
  std::int64_t base_ = 0;    // where the running time counts from [samples]
  std::int64_t tickMs_ = 0;  // the due tick's time from base_ [ms]
  std::int64_t nextMs_ = 0;  // the next tick's time from base_ [ms]
  bool placed_ = false;
  std::int64_t start_ = 0, length_ = 0, tail_ = 0;  // the last block placed [samples]
};

// With a file text of `count` symbols: true when symbol number `counter` lies beyond it. The start
// signal, number 0, never does.
constexpr bool beyondText(std::int32_t counter, std::int32_t count) {
  return counter > 0 && counter - 1 >= count;
}

// True when the tick that brought the symbol counter to `sent` was the transmission's last:
// `groups` groups of five have followed the start signal, or the file text (`fileCount` symbols;
// none with the random source) is used up.
constexpr bool lastTick(std::int32_t sent, std::int32_t groups,
                        std::optional<std::int32_t> fileCount) {
  return wrap32(std::int64_t{groups} * 5 + 1) == sent ||
         (fileCount && beyondText(sent, *fileCount));
}

// What one tick did.
struct TickStep {
  int index = 0;                        // the symbol sent
  TransmissionSchedule::Place place{};  // where its block sounds
  std::int64_t toneSamples = 0;         // the block before its silent tail: what a device is given
  std::int32_t intervalMs = 0;          // the interval the tick set; negative: a huge one
};

// The tick that sends symbol number `counter` (0: the start signal) from `buffers`, one rule for
// the window's timer and the export's plan. First pauseField(endOfGroup) reads the field of the
// pause that follows the symbol (the group pause after the start signal and every fifth character,
// the character pause otherwise), so a field that fails sends nothing and leaves `schedule` as it
// was. Then the tick begins on `schedule` with the next tick `heldIntervalMs` later, nextSymbol()
// chooses the symbol, its block is placed with its silent tail, and the schedule's next tick comes
// the tick's interval later.
TickStep stepTick(TransmissionSchedule& schedule, const SymbolBuffers& buffers,
                  std::int32_t counter, std::int64_t heldIntervalMs,
                  const std::function<std::int32_t(bool endOfGroup)>& pauseField,
                  const std::function<int()>& nextSymbol);

}  // namespace kelvak
