// Summing the history record by record into what the windows and the weak characters read.
#include "training/history_summary.h"

#include <algorithm>
#include <chrono>
#include <ctime>
#include <tuple>

namespace kelvak {

namespace {

template <typename T, typename Same>
T& entry(std::vector<T>& items, Same same, T made) {
  const auto it = std::find_if(items.begin(), items.end(), same);
  return it != items.end() ? *it : items.emplace_back(made);
}

}  // namespace

std::int64_t localDay(std::int64_t time) {
  const auto t = static_cast<std::time_t>(time);
  std::tm tm{};
  localtime_r(&t, &tm);
  namespace chrono = std::chrono;
  const chrono::sys_days day{chrono::year{tm.tm_year + 1900} /
                             chrono::month{static_cast<unsigned>(tm.tm_mon + 1)} /
                             chrono::day{static_cast<unsigned>(tm.tm_mday)}};
  return day.time_since_epoch().count();
}

HistorySummary::HistorySummary(DayOf dayOf) : dayOf_(std::move(dayOf)) {}

std::int64_t HistorySummary::dayOf(std::int64_t time) const {
  if (dayOf_) return dayOf_(time);
  return std::chrono::floor<std::chrono::days>(std::chrono::sys_seconds{std::chrono::seconds{time}})
      .time_since_epoch()
      .count();
}

void HistorySummary::count(Bucket& b, const CheckRecord& r, int sign) {
  b.checks += sign;
  b.chars += sign * r.sent;
  b.seconds += sign * sendingSeconds(r.settings.groups, r.settings.speed);
  for (const CharTally& t : r.chars) {
    CharShare& s = entry(
        b.shares, [&](const CharShare& x) { return x.ch == t.ch; }, CharShare{t.ch, 0, 0});
    s.sent += sign * t.sent;
    s.correct += sign * t.correct;
    for (const auto& taken : t.takenFor) {
      const char32_t written = taken.first;
      Confusion& c = entry(
          b.confusions, [&](const Confusion& x) { return x.sent == t.ch && x.takenFor == written; },
          Confusion{t.ch, written, 0});
      c.count += sign * taken.second;
    }
  }
  if (sign > 0) return;
  std::erase_if(b.shares, [](const CharShare& s) { return s.sent == 0; });
  std::erase_if(b.confusions, [](const Confusion& c) { return c.count == 0; });
}

void HistorySummary::count(const CheckRecord& r, std::int64_t day, int sign) {
  const std::pair key{day, r.settings.source};
  count(buckets_[key], r, sign);
  count(totals_[r.settings.source], r, sign);
  if (buckets_[key].checks == 0) buckets_.erase(key);
  if (totals_[r.settings.source].checks == 0) totals_.erase(r.settings.source);
}

void HistorySummary::add(const CheckRecord& r, std::int32_t line) {
  const std::int64_t day = dayOf(r.time);
  checks_.push_back(
      {r.time, day, line, r.sent, r.correct, r.extra, r.settings.speed, r.settings.source});
  if (r.sent == 0) return;  // a check of nothing says nothing about progress
  count(r, day, +1);
  sendings_.add(r);
}

void LatestSendings::add(const CheckRecord& r) {
  if (r.sent == 0) return;
  for (const CharTally& t : r.chars) {
    if (t.sent <= 0) continue;
    Sendings& s = sendings_[t.ch];
    s.checks.emplace_back(t.sent, t.correct);
    s.sent += t.sent;
    while (s.sent - s.checks.front().first >= kept_) {
      s.sent -= s.checks.front().first;
      s.checks.pop_front();
      s.letGo = true;
    }
  }
}

bool HistorySummary::removeLast(const CheckRecord& r) {
  if (checks_.empty()) return true;
  const CheckPoint last = checks_.back();
  checks_.pop_back();
  for (std::int32_t& line : damagedLines_) line -= line > last.line ? 1 : 0;
  if (r.sent == 0) return true;
  count(r, last.day, -1);
  return sendings_.removeLast(r);
}

bool LatestSendings::removeLast(const CheckRecord& r) {
  if (r.sent == 0) return true;
  bool exact = true;
  for (const CharTally& t : r.chars) {
    if (t.sent <= 0) continue;
    Sendings& s = sendings_[t.ch];
    if (!s.checks.empty()) {
      s.sent -= s.checks.back().first;
      s.checks.pop_back();
    }
    if (s.letGo && s.sent < kRecentSendings) exact = false;
    if (s.checks.empty() && !s.letGo) sendings_.erase(t.ch);
  }
  return exact;
}

std::map<char32_t, RecentTally> HistorySummary::recentTallies() const { return sendings_.tallies(); }

std::map<char32_t, RecentTally> LatestSendings::tallies() const {
  std::map<char32_t, RecentTally> out;
  const double limit = static_cast<double>(kRecentSendings);
  for (const auto& [ch, s] : sendings_) {
    RecentTally t;
    // The latest first; the check that crosses the limit counts in proportion.
    for (auto c = s.checks.rbegin(); c != s.checks.rend() && t.sent < limit; ++c) {
      const double part = std::min(1.0, (limit - t.sent) / c->first);
      t.sent += part * c->first;
      t.correct += part * c->second;
    }
    if (t.sent > 0) out[ch] = t;
  }
  return out;
}

Progress HistorySummary::progress(const ProgressFilter& filter) const {
  const auto counted = [&](TextSource source, std::int64_t day) {
    return (!filter.source || source == *filter.source) && day >= filter.sinceDay;
  };
  Progress p;
  for (const CheckPoint& c : checks_) {
    if (c.sent > 0 && counted(c.source, c.day)) {
      p.checks.push_back({c.time, c.accuracy(), c.speed});
    }
  }
  // Records are appended as checks are made, but two programs or a changed clock may interleave.
  const auto byTime = [](const ProgressPoint& a, const ProgressPoint& b) {
    return a.time < b.time;
  };
  if (!std::is_sorted(p.checks.begin(), p.checks.end(), byTime)) {
    std::stable_sort(p.checks.begin(), p.checks.end(), byTime);
  }

  std::vector<CharShare> chars;
  std::vector<Confusion> confusions;
  const auto take = [&](const Bucket& b) {
    for (const CharShare& s : b.shares) {
      CharShare& to = entry(
          chars, [&](const CharShare& x) { return x.ch == s.ch; }, CharShare{s.ch, 0, 0});
      to.sent += s.sent;
      to.correct += s.correct;
    }
    for (const Confusion& c : b.confusions) {
      entry(
          confusions,
          [&](const Confusion& x) { return x.sent == c.sent && x.takenFor == c.takenFor; },
          Confusion{c.sent, c.takenFor, 0})
          .count += c.count;
    }
  };
  // The whole time from each text kind's totals; a period from its days.
  const bool wholeTime = buckets_.empty() || buckets_.begin()->first.first >= filter.sinceDay;
  for (auto d = buckets_.lower_bound({filter.sinceDay, TextSource::Digits}); d != buckets_.end();
       ++d) {
    const auto [day, source] = d->first;
    if (!counted(source, day)) continue;
    if (p.days.empty() || p.days.back().day != day) p.days.push_back({day, 0, 0, 0});
    p.days.back().checks += d->second.checks;
    p.days.back().chars += d->second.chars;
    p.days.back().seconds += d->second.seconds;
    if (!wholeTime) take(d->second);
  }
  for (const auto& [source, b] : totals_) {
    if (wholeTime && counted(source, filter.sinceDay)) take(b);
  }

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
