// What the windows and the weak characters need of the history, kept up to date record by record:
// a point per check, each day's totals per text kind, and each character's latest sendings. Its
// size grows with the days and the checks' points, never with the records' characters, so a
// history of years is summarised in a few megabytes and a new check is added in microseconds.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <utility>
#include <vector>

#include "training/check_record.h"
#include "training/drill.h"
#include "training/progress.h"
#include "training/weak_characters.h"

namespace kelvak {

// One check as the charts and the removal of the last check name it.
struct CheckPoint {
  std::int64_t time = 0;  // [s] since 1970 UTC
  std::int64_t day = 0;   // as the summary's day function numbers it
  std::int32_t line = 0;  // the line's number in the file, from 1
  std::int32_t sent = 0, correct = 0, extra = 0;
  std::int32_t speed = 0;
  TextSource source = TextSource::Digits;
  double accuracy() const { return accuracyPercent(sent, correct, extra); }
};

// Each character's sendings in the checks that sent it, the latest last, as far back as `kept`
// later sendings leave them needed: what the weak characters count, added check by check in memory
// bounded by the alphabet, however long the history.
class LatestSendings {
 public:
  explicit LatestSendings(std::int64_t kept) : kept_(kept) {}
  void add(const CheckRecord& record);
  // Takes back the last check added, `record` being its record. False when a character it held
  // can no longer be told exactly (older sendings were let go).
  bool removeLast(const CheckRecord& record);
  // Each character's latest sendings, as recentTallies() counts them from the records.
  std::map<char32_t, RecentTally> tallies() const;

 private:
  struct Sendings {
    std::deque<std::pair<std::int32_t, std::int32_t>> checks;  // sent and correct
    std::int64_t sent = 0;
    bool letGo = false;  // older sendings were let go
  };
  std::int64_t kept_;
  std::map<char32_t, Sendings> sendings_;
};

class HistorySummary {
 public:
  // The day a time falls on, as a number that grows by one a day; days in UTC when empty.
  using DayOf = std::function<std::int64_t(std::int64_t time)>;
  explicit HistorySummary(DayOf dayOf = {});

  // A record of line `line`, in file order.
  void add(const CheckRecord& record, std::int32_t line);
  void add(const DrillRecord& drill) { drills_.push_back(drill); }
  void damaged(std::int32_t line) { damagedLines_.push_back(line); }
  // Takes back the last check added, `record` being its record: the lines after it move up by
  // one. False when the latest sendings of a character it held can no longer be told exactly (the
  // older ones were let go); the summary is then to be read again.
  bool removeLast(const CheckRecord& record);

  // The statistics window's views under a filter.
  Progress progress(const ProgressFilter& filter = {}) const;
  // Each character's latest sendings, as recentTallies() counts them from the records.
  std::map<char32_t, RecentTally> recentTallies() const;

  const std::vector<CheckPoint>& checks() const { return checks_; }  // every check, file order
  const std::vector<DrillRecord>& drills() const { return drills_; }
  const std::vector<std::int32_t>& damagedLines() const { return damagedLines_; }
  std::int64_t dayOf(std::int64_t time) const;

 private:
  struct Bucket {
    std::int64_t checks = 0, chars = 0, seconds = 0;
    std::vector<CharShare> shares;
    std::vector<Confusion> confusions;
  };
  void count(const CheckRecord& record, std::int64_t day, int sign);
  static void count(Bucket& bucket, const CheckRecord& record, int sign);

  DayOf dayOf_;
  std::vector<CheckPoint> checks_;
  std::map<std::pair<std::int64_t, TextSource>, Bucket> buckets_;
  std::map<TextSource, Bucket> totals_;  // each text kind's days together: the whole time at once
  // Far more than the weak characters count, so that taking a check back still leaves them exact.
  LatestSendings sendings_{4 * kRecentSendings};
  std::vector<DrillRecord> drills_;
  std::vector<std::int32_t> damagedLines_;
};

// The day of a time in the local time zone, numbered as days since 1970-01-01.
std::int64_t localDay(std::int64_t time);

}  // namespace kelvak
