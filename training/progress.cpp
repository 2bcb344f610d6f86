// The sending time of a check, and the views of a list of records.
#include "training/progress.h"

#include "training/history_summary.h"

namespace kelvak {

std::int64_t sendingSeconds(int groups, int speed) {
  if (groups <= 0 || speed <= 0) return 0;
  return (std::int64_t{groups} * 60 + speed / 2) / speed;
}

Progress summarize(const std::vector<CheckRecord>& records, const ProgressFilter& filter,
                   const std::function<std::int64_t(std::int64_t time)>& dayOf) {
  HistorySummary summary(dayOf);
  std::int32_t line = 0;
  for (const CheckRecord& r : records) summary.add(r, ++line);
  return summary.progress(filter);
}

}  // namespace kelvak
