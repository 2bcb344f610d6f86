// Gathering the history into the statistics window's three views.
#include "training/progress.h"

#include <algorithm>
#include <tuple>
#include <utility>

namespace kelvak {

Progress summarize(const std::vector<CheckRecord>& records) {
  Progress p;
  p.checks.reserve(records.size());
  // Few distinct characters: plain vectors searched from the front beat maps here.
  std::vector<CharShare> chars;
  std::vector<Confusion> confusions;
  for (const CheckRecord& r : records) {
    if (r.sent == 0) continue;  // a check of nothing says nothing about progress
    p.checks.push_back({r.time, r.accuracyPercent(), r.settings.speed});
    for (const CharTally& t : r.chars) {
      auto s = std::find_if(chars.begin(), chars.end(),
                            [&](const CharShare& x) { return x.ch == t.ch; });
      if (s == chars.end()) s = chars.insert(chars.end(), CharShare{t.ch, 0, 0});
      s->sent += t.sent;
      s->correct += t.correct;
      for (const auto& taken : t.takenFor) {
        const char32_t w = taken.first;
        auto c = std::find_if(confusions.begin(), confusions.end(), [&](const Confusion& x) {
          return x.sent == t.ch && x.takenFor == w;
        });
        if (c == confusions.end()) c = confusions.insert(confusions.end(), Confusion{t.ch, w, 0});
        c->count += taken.second;
      }
    }
  }
  // Records are appended as checks are made, but two programs or a changed clock may interleave.
  std::stable_sort(p.checks.begin(), p.checks.end(),
                   [](const ProgressPoint& a, const ProgressPoint& b) { return a.time < b.time; });

  // Sorted by character first, so that equal places do not depend on the history's order.
  std::sort(chars.begin(), chars.end(),
            [](const CharShare& a, const CharShare& b) { return a.ch < b.ch; });
  p.chars = std::move(chars);
  std::stable_sort(p.chars.begin(), p.chars.end(), [](const CharShare& a, const CharShare& b) {
    // Compared as cross products: no rounding decides the order.
    const std::int64_t left = a.correct * b.sent, right = b.correct * a.sent;
    if (left != right) return left < right;
    return a.sent > b.sent;
  });

  std::sort(confusions.begin(), confusions.end(), [](const Confusion& a, const Confusion& b) {
    return std::tie(a.sent, a.takenFor) < std::tie(b.sent, b.takenFor);
  });
  p.confusions = std::move(confusions);
  std::stable_sort(p.confusions.begin(), p.confusions.end(),
                   [](const Confusion& a, const Confusion& b) { return a.count > b.count; });
  if (p.confusions.size() > kMaxConfusions) p.confusions.resize(kMaxConfusions);
  return p;
}

}  // namespace kelvak
