// Gathering the history into the statistics window's three views.
#include "training/progress.h"

#include <algorithm>
#include <map>
#include <utility>

namespace kelvak {

Progress summarize(const std::vector<CheckRecord>& records) {
  Progress p;
  p.checks.reserve(records.size());
  std::map<char32_t, CharShare> chars;
  std::map<std::pair<char32_t, char32_t>, std::int64_t> confusions;
  for (const CheckRecord& r : records) {
    if (r.sent == 0) continue;  // a check of nothing says nothing about progress
    p.checks.push_back({r.time, r.accuracyPercent(), r.settings.speed});
    for (const auto& [c, t] : r.chars) {
      CharShare& s = chars[c];
      s.ch = c;
      s.sent += t.sent;
      s.correct += t.correct;
      for (const auto& [w, n] : t.takenFor) confusions[{c, w}] += n;
    }
  }
  // Records are appended as checks are made, but two programs or a changed clock may interleave.
  std::stable_sort(p.checks.begin(), p.checks.end(),
                   [](const ProgressPoint& a, const ProgressPoint& b) { return a.time < b.time; });

  for (const auto& [c, s] : chars) p.chars.push_back(s);
  std::stable_sort(p.chars.begin(), p.chars.end(), [](const CharShare& a, const CharShare& b) {
    // Compared as cross products: no rounding decides the order.
    const std::int64_t left = a.correct * b.sent, right = b.correct * a.sent;
    if (left != right) return left < right;
    return a.sent > b.sent;
  });

  for (const auto& [pair, n] : confusions) p.confusions.push_back({pair.first, pair.second, n});
  std::stable_sort(p.confusions.begin(), p.confusions.end(),
                   [](const Confusion& a, const Confusion& b) { return a.count > b.count; });
  if (p.confusions.size() > kMaxConfusions) p.confusions.resize(kMaxConfusions);
  return p;
}

}  // namespace kelvak
