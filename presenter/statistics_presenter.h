// What the statistics window shows and does, without a toolkit: the filters' choices, the note,
// the two charts' series and axes, the confusions, the days, and taking the last check back.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "training/history_keeper.h"
#include "training/progress.h"

namespace kelvak {

struct ChartPoint {
  double x = 0, y = 0;
};

// An axis of whole numbers: its range and a tick every `step` from `anchor`.
struct WholeAxis {
  double from = 0, to = 0;
  double anchor = 0, step = 1;
};

// The accuracy per check with the speed, each on its own scale; a long history is drawn as the
// means of runs of consecutive checks.
struct AccuracyChart {
  std::string title;
  std::vector<ChartPoint> accuracy;  // [%] over the check's number, counted from 1
  std::vector<ChartPoint> speed;     // [groups per minute]
  bool markers = false;              // few points: each drawn as a point, one has no line
  WholeAxis checks, percent, speedScale;
  std::string description;  // the same in words, for a screen reader
};

// Each character's share received correctly, the worst first.
struct CharsChart {
  std::string title;
  std::vector<std::string> labels;  // the character, a line break, how often it was sent
  std::vector<double> shares;       // [%], whole
  WholeAxis percent;
  std::string description;
};

struct DayRow {
  std::string day, checks, chars, sendingTime;
};

class StatisticsView {
 public:
  virtual ~StatisticsView() = default;
  virtual void showNote(const std::string& note) = 0;
  virtual void showAccuracy(const AccuracyChart& chart) = 0;
  virtual void showChars(const CharsChart& chart) = 0;
  virtual void showConfusions(const std::vector<std::string>& lines) = 0;
  virtual void showDays(const std::vector<DayRow>& rows) = 0;
  virtual void enableRemoveLast(bool enabled) = 0;
  // Asks before the last check is removed: true to remove it.
  virtual bool confirm(const std::string& question) = 0;
  // What was removed, or why not.
  virtual void showRemoved(const std::string& text) = 0;
};

// The filters' items, in their order: every text kind, then TextSource's; the periods.
inline constexpr const char* kSourceFilterItems[] = {"любой", "цифры", "буквы", "смесь", "файл"};
inline constexpr const char* kPeriodFilterItems[] = {"всё время", "последние 7 дней", "сегодня"};

// At most this many points per line: a chart no wider than the screen shows no more.
inline constexpr std::size_t kMaxChartPoints = 1000;
// The worst characters are what there is to practise; all of them would not be legible.
inline constexpr std::size_t kShownChars = 15;

class StatisticsPresenter {
 public:
  // `now`: the time [s since 1970 UTC]; the system clock when empty.
  StatisticsPresenter(StatisticsView& view, HistoryKeeper& history,
                      std::function<std::int64_t()> now = {});

  void sourceChosen(int index);  // kSourceFilterItems' index
  void periodChosen(int index);  // kPeriodFilterItems' index
  // Reads what was appended to the history and shows everything again.
  void reload();
  // Asks, then takes the history's last check out and shows everything again.
  void removeLastClicked();

  // Told of a check that was removed, so that the course can take back the step that check made;
  // what it returns is said beside the removal.
  std::function<std::string(const CheckRecord& removed)> checkRemoved;

  const Progress& progress() const { return progress_; }

 private:
  void redraw();
  ProgressFilter filter() const;

  StatisticsView& view_;
  HistoryKeeper& history_;
  std::function<std::int64_t()> now_;
  int source_ = 0, period_ = 0;
  Progress progress_;
};

// A time as the window writes a day, "dd.MM.yyyy", in the local time zone; a day numbered as
// localDay() numbers it likewise.
std::string localDate(std::int64_t time);
std::string dayDate(std::int64_t day);
// How long, as "1 ч 05 мин", "12 мин" or "40 с".
std::string durationText(std::int64_t seconds);
// The smallest of 1, 2, 5, 10, 20, 50... that cuts `span` into at most `most` steps.
double tickStep(double span, int most);

}  // namespace kelvak
