// What the statistics window shows, gathered from the history: accuracy per check, each
// character's share received correctly, and the most frequent confusions.
#pragma once

#include <cstdint>
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

struct Confusion {
  char32_t sent = 0;
  char32_t takenFor = 0;
  std::int64_t count = 0;
};

struct Progress {
  std::vector<ProgressPoint> checks;  // in time order
  std::vector<CharShare> chars;       // worst share first; equal shares: more often sent first
  std::vector<Confusion> confusions;  // most frequent first, at most kMaxConfusions
};

inline constexpr std::size_t kMaxConfusions = 20;

Progress summarize(const std::vector<CheckRecord>& records);

}  // namespace kelvak
