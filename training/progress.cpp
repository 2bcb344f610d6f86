// Gathering the history into the statistics window's three views.
#include "training/progress.h"

#include <algorithm>
#include <tuple>
#include <utility>

namespace kelvak {

std::int64_t sendingSeconds(int groups, int speed) {
  if (groups <= 0 || speed <= 0) return 0;
  return (std::int64_t{groups} * 60 + speed / 2) / speed;
}

Progress summarize(const std::vector<CheckRecord>& records, const ProgressFilter& filter) {
  Progress p;
  p.checks.reserve(records.size());
  // Few distinct characters: plain vectors searched from the front beat maps here.
  std::vector<CharShare> chars;
  std::vector<Confusion> confusions;
  for (const CheckRecord& r : records) {
    if (r.sent == 0) continue;  // a check of nothing says nothing about progress
    if (filter.source && r.settings.source != *filter.source) continue;
    if (r.time < filter.since) continue;
    const std::int64_t day =
        filter.dayOf ? filter.dayOf(r.time) : (r.time >= 0 ? r.time : r.time - 86399) / 86400;
    auto d =
        std::find_if(p.days.begin(), p.days.end(), [&](const DayTotal& x) { return x.day == day; });
    if (d == p.days.end()) d = p.days.insert(p.days.end(), DayTotal{day, 0, 0, 0});
    ++d->checks;
    d->chars += r.sent;
    d->seconds += sendingSeconds(r.settings.groups, r.settings.speed);
    p.checks.push_back({r.time, accuracyPercent(r.sent, r.correct, r.extra), r.settings.speed});
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

  std::sort(p.days.begin(), p.days.end(),
            [](const DayTotal& a, const DayTotal& b) { return a.day < b.day; });

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
