// The transmission's sample schedule.
#include "playback/schedule.h"

#include <algorithm>

#include "synth/symbol_table.h"

namespace kelvak {

void TransmissionSchedule::start(std::int64_t firstIntervalMs) {
  *this = TransmissionSchedule(sampleRate_);
  nextMs_ = firstIntervalMs;
}

void TransmissionSchedule::rebase(std::int64_t restart, std::int64_t intervalMs) {
  base_ = std::max(restart, toneEnd());
  tickMs_ = 0;
  nextMs_ = intervalMs;
}

std::int64_t TransmissionSchedule::beginTick(std::int64_t heldIntervalMs) {
  tickMs_ = nextMs_;
  nextMs_ = tickMs_ + heldIntervalMs;
  return base_ + toSamples(tickMs_);
}

TransmissionSchedule::Place TransmissionSchedule::place(std::int64_t length,
                                                        std::int64_t silentTail) {
  const std::int64_t onset = base_ + toSamples(tickMs_);
  const std::int64_t start =
      placed_ ? blockStart(onset, start_, length_, std::min(tail_, length_)) : onset;
  placed_ = true;
  start_ = start;
  length_ = std::max<std::int64_t>(0, length);
  tail_ = std::clamp<std::int64_t>(silentTail, 0, length_);
  return {onset, start};
}

void TransmissionSchedule::setInterval(std::int64_t intervalMs) { nextMs_ = tickMs_ + intervalMs; }

std::int64_t TransmissionSchedule::samplesOf(std::int64_t nanoseconds) const {
  if (nanoseconds <= 0) return 0;  // nothing comes before the start
  constexpr std::int64_t kSecond = 1'000'000'000;
  // Whole seconds apart, so that no product overflows however long the transmission runs.
  return nanoseconds / kSecond * sampleRate_ +
         (nanoseconds % kSecond * sampleRate_ + kSecond / 2) / kSecond;
}

TickStep stepTick(TransmissionSchedule& schedule, const SymbolBuffers& buffers,
                  std::int32_t counter, std::int64_t heldIntervalMs,
                  const std::function<std::int32_t(bool endOfGroup)>& pauseField,
                  const std::function<int()>& nextSymbol) {
  const bool endOfGroup = counter % 5 == 0;
  const std::int32_t pause = pauseUnits(endOfGroup, pauseField(endOfGroup));
  // Should the choice fail below, the next tick comes one held interval later.
  schedule.beginTick(heldIntervalMs);
  TickStep step;
  step.index = nextSymbol();
  const std::int64_t size = buffers.length(step.index);
  const std::int64_t tail = std::min<std::int64_t>(kSilentTailUnits * buffers.samplesPerUnit, size);
  step.place = schedule.place(size, tail);
  step.toneSamples = size - tail;
  const auto length = static_cast<std::int32_t>(SymbolTable[step.index].length);
  step.intervalMs = tickIntervalMs(pause, length, buffers.unitMs);
  // The timer takes the interval unsigned: a negative one waits for weeks.
  schedule.setInterval(static_cast<std::uint32_t>(step.intervalMs));
  return step;
}

}  // namespace kelvak
