// Working out a transmission ahead of time, and rendering it sample by sample.
#include "export/transmission_plan.h"

#include <algorithm>
#include <cstring>

#include "base/error.h"
#include "playback/block_placement.h"
#include "playback/schedule.h"
#include "synth/symbol_table.h"

namespace kelvak {

TransmissionPlan planTransmission(const TransmissionSettings& settings, const FileText& text,
                                  Random& random, std::int32_t previousUnitMs) {
  // A text file bounds its own transmission: an export may send all of it, beyond the field's 999.
  if (settings.groups < 0 || (settings.randomSource && settings.groups > kMaxGroups)) {
    throw KelvakError("The group count " + std::to_string(settings.groups) +
                      " is out of range 0.." + std::to_string(kMaxGroups));
  }
  std::int64_t characters = std::int64_t{settings.groups} * 5;
  // A tick never reads beyond the file text: the transmission ends at its last symbol.
  if (!settings.randomSource) characters = std::min<std::int64_t>(characters, text.count());

  TransmissionPlan plan;
  plan.buffers = formSymbolBuffers(settings.forming(), random, previousUnitMs);
  const std::int32_t unitMs = plan.buffers.unitMs;
  const std::int64_t tail = kSilentTailUnits * plan.buffers.samplesPerUnit;
  const SymbolChoice choice = settings.choice();

  plan.symbols.reserve(static_cast<std::size_t>(characters + 1));
  TransmissionSchedule schedule;
  schedule.start(kLeadInMs);
  for (std::int32_t c = 0; c <= characters; ++c) {
    const bool endOfGroup = c % 5 == 0;
    const int index = nextSymbolIndex(choice, c, text, random);
    schedule.beginTick(0);
    const std::int64_t size = plan.buffers.length(index);
    const TransmissionSchedule::Place place = schedule.place(size, std::min(tail, size));
    plan.symbols.push_back({index, place.onset, place.start});
    plan.totalSamples = schedule.end();
    if (plan.totalSamples > kMaxExportSamples) {
      throw KelvakError("The transmission would last longer than " +
                        std::to_string(kMaxExportSamples / kSampleRate / 3600) +
                        " hours: lower the group count or the pauses");
    }
    if (c != 0) plan.answerKey += displayUtf8(index);
    if (c != 0 && endOfGroup) plan.answerKey += ' ';

    const std::int32_t length = static_cast<std::int32_t>(SymbolTable[index].length);
    const std::int32_t pause =
        pauseUnits(endOfGroup, endOfGroup ? settings.groupPause : settings.charPause);
    const std::int32_t interval = tickIntervalMs(pause, length, unitMs);
    // The window's timer takes 0 as "no tick" and a negative product as weeks: the next symbol
    // would never come. Only the last symbol's interval is never waited for.
    if (interval <= 0 && c < characters) {
      throw KelvakError("The pauses leave no time before the next character (" +
                        std::to_string(interval) +
                        " ms): the transmission would stand still; raise the pause");
    }
    schedule.setInterval(interval);
  }
  return plan;
}

GeneratorPlan::GeneratorPlan(const TransmissionSettings& settings, const FileText& text,
                             Random& random, std::int32_t previousUnitMs)
    : random_(random), before_(random.state()) {
  try {
    plan_ = planTransmission(settings, text, random, previousUnitMs);
  } catch (...) {
    random.setState(before_);  // nothing else ran while it planned
    throw;
  }
  planned_ = random.state();
}

void GeneratorPlan::giveBack() {
  if (random_.state() == planned_) random_.setState(before_);
}

std::size_t PlanRenderer::render(std::uint8_t* out, std::size_t n) {
  const auto& symbols = plan_.symbols;
  std::size_t filled = 0;
  while (filled < n && position_ < plan_.totalSamples) {
    while (next_ < symbols.size() && symbols[next_].start <= position_) ++next_;
    const std::int64_t limit = position_ + static_cast<std::int64_t>(n - filled);
    const std::int64_t segmentEnd =
        std::min(limit, next_ < symbols.size() ? symbols[next_].start : plan_.totalSamples);
    std::int64_t end = segmentEnd;
    if (next_ == 0) {
      std::memset(out + filled, kSilentLevel, static_cast<std::size_t>(end - position_));
    } else {
      const PlannedSymbol& s = symbols[next_ - 1];
      const std::vector<std::uint8_t>& block = *plan_.buffers.blocks[s.index];
      const std::int64_t blockEnd = s.start + static_cast<std::int64_t>(block.size());
      if (position_ < blockEnd) {
        end = std::min(end, blockEnd);
        std::memcpy(out + filled, block.data() + (position_ - s.start),
                    static_cast<std::size_t>(end - position_));
      } else {
        std::memset(out + filled, kSilentLevel, static_cast<std::size_t>(end - position_));
      }
    }
    filled += static_cast<std::size_t>(end - position_);
    position_ = end;
  }
  return filled;
}

}  // namespace kelvak
