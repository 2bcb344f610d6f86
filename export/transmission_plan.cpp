// Working out a transmission ahead of time, and rendering it sample by sample.
#include "export/transmission_plan.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <optional>

#include "base/error.h"
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
  const std::optional<std::int32_t> fileCount =
      settings.randomSource ? std::nullopt : std::optional<std::int32_t>(text.count());

  TransmissionPlan plan;
  plan.buffers = formSymbolBuffers(settings.forming(), random, previousUnitMs);
  const SymbolChoice choice = settings.choice();
  std::int32_t c = 0;
  const std::function<std::int32_t(bool)> pauseField = [&](bool endOfGroup) {
    return endOfGroup ? settings.groupPause : settings.charPause;
  };
  const std::function<int()> nextSymbol = [&] { return nextSymbolIndex(choice, c, text, random); };

  TransmissionSchedule schedule;
  schedule.start(kLeadInMs);
  for (;; ++c) {
    const TickStep step = stepTick(schedule, plan.buffers, c, 0, pauseField, nextSymbol);
    plan.symbols.push_back({step.index, step.place.onset, step.place.start});
    plan.totalSamples = schedule.end();
    if (plan.totalSamples > kMaxExportSamples) {
      throw KelvakError("The transmission would last longer than " +
                        std::to_string(kMaxExportSamples / kSampleRate / 3600) +
                        " hours: lower the group count or the pauses");
    }
    if (c != 0) plan.answerKey += displayUtf8(step.index);
    if (c != 0 && c % 5 == 0) plan.answerKey += ' ';
    const bool last = lastTick(c + 1, settings.groups, fileCount);
    // The window's timer takes 0 as "no tick" and a negative product as weeks: the next symbol
    // would never come. Only the last symbol's interval is never waited for.
    if (step.intervalMs <= 0 && !last) {
      throw KelvakError("The pauses leave no time before the next character (" +
                        std::to_string(step.intervalMs) +
                        " ms): the transmission would stand still; raise the pause");
    }
    if (last) break;
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
