// What the statistics window shows, gathered from the history: accuracy per check, each
// character's share received correctly, and the most frequent confusions.
#pragma once

#include <cstdint>
#include <functional>
#include <limits>
#include <optional>
#include <vector>

#include "training/check_record.h"

namespace kelvak {

struct ProgressPoint {
  std::int64_t time = 0;  // [s] since 1970 UTC
  double accuracy = 0;    // [%]
  int speed = 0;          // groups per minute
};

struct CharShare {
  char32_t ch = 0;
  std::int64_t sent = 0;
  std::int64_t correct = 0;
  double share() const { return sent == 0 ? 0.0 : 100.0 * static_cast<double>(correct) / sent; }
};

// One day's practice.
struct DayTotal {
  std::int64_t day = 0;  // as the summary's day function numbers it
  std::int64_t checks = 0;
  std::int64_t chars = 0;    // characters sent
  std::int64_t seconds = 0;  // the checked transmissions' sending time [s]
};

// Which checks count.
struct ProgressFilter {
  std::optional<TextSource> source;                                  // nothing: every text kind
  std::int64_t sinceDay = std::numeric_limits<std::int64_t>::min();  // the first day that counts
};

struct Confusion {
  char32_t sent = 0;
  char32_t takenFor = 0;
  std::int64_t count = 0;
};

struct Progress {
  std::vector<ProgressPoint> checks;  // in time order
  std::vector<CharShare> chars;       // worst share first; equal shares: more often sent first
  std::vector<Confusion> confusions;  // most frequent first, at most kMaxConfusions
  std::vector<DayTotal> days;         // in day order
};

inline constexpr std::size_t kMaxConfusions = 20;

// The sending time of a transmission of `groups` groups at `speed` groups per minute [s].
std::int64_t sendingSeconds(int groups, int speed);

// The views of `records`, in file order, with days as `dayOf` numbers them (UTC when empty).
Progress summarize(const std::vector<CheckRecord>& records, const ProgressFilter& filter = {},
                   const std::function<std::int64_t(std::int64_t time)>& dayOf = {});

}  // namespace kelvak
