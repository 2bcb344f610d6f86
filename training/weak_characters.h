// Weak characters: each character's weight by its error rate over the recent history, so practice
// dwells on what is received worst.
#pragma once

#include <cstdint>
#include <map>
#include <utility>
#include <vector>

#include "training/check_record.h"

namespace kelvak {

// Sendings of each character that count: the most recent ones.
inline constexpr std::int64_t kRecentSendings = 500;
// Every character keeps at least this weight, so none disappears from practice.
inline constexpr double kFloorWeight = 0.1;
// A character's count starts with this many sendings taken as missed: one never sent weighs as
// much as one never received, and a few lucky answers do not make a character strong.
inline constexpr double kPriorMisses = 5;

struct RecentTally {
  double sent = 0;
  double correct = 0;
};

// Each character's sendings and right answers over its last kRecentSendings sendings, from
// `records` in time order (the newest last); a check that crosses the limit counts in proportion.
std::map<char32_t, RecentTally> recentTallies(const std::vector<CheckRecord>& records);

// A character's weight from its tally: the error rate with the prior misses, at least kFloorWeight.
// 1 for a character never sent.
double weakWeight(const RecentTally& tally);

// The symbols with their weights in thousandths, for the weighted choice. A zero of either length
// is found as "0".
std::vector<std::pair<int, std::uint32_t>> weakWeights(
    const std::vector<int>& symbols, const std::map<char32_t, RecentTally>& tallies);

// The characters that sound most often with these weights, heaviest first, at most `count`.
std::vector<char32_t> heaviest(const std::vector<std::pair<int, std::uint32_t>>& weights,
                               std::size_t count);

}  // namespace kelvak
