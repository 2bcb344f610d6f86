// The statistics window's rules: what it shows of the history under its filters, and taking the
// last check back.
#include "presenter/statistics_presenter.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <ctime>

#include "text/utf8.h"

namespace kelvak {

namespace {

std::string whole(double v) { return std::to_string(std::lround(v)); }

std::string localTime(std::int64_t time, const char* format) {
  const auto t = static_cast<std::time_t>(time);
  std::tm tm{};
  localtime_r(&t, &tm);
  char buf[64];
  std::strftime(buf, sizeof buf, format, &tm);
  return buf;
}

template <typename Items>
std::string joined(const Items& items, const std::string& between) {
  std::string out;
  for (const std::string& item : items) out += (out.empty() ? "" : between) + item;
  return out;
}

AccuracyChart accuracyChart(const Progress& p, bool reading) {
  AccuracyChart chart;
  const std::size_t n = p.checks.size();
  chart.title =
      n == 0 && !reading ? "Точность по проверкам: проверок нет" : "Точность по проверкам";
  // A long history is drawn as the means of runs of consecutive checks.
  const std::size_t points = std::min(n, kMaxChartPoints);
  int maxSpeed = 1;
  for (std::size_t k = 0; k < points; ++k) {
    const std::size_t from = k * n / points, to = (k + 1) * n / points;
    double sumAccuracy = 0, sumSpeed = 0;
    for (std::size_t i = from; i < to; ++i) {
      sumAccuracy += p.checks[i].accuracy;
      sumSpeed += p.checks[i].speed;
      maxSpeed = std::max(maxSpeed, p.checks[i].speed);
    }
    const double count = static_cast<double>(to - from);
    const double x = static_cast<double>(from + to + 1) / 2.0;  // the run's middle
    chart.accuracy.push_back({x, sumAccuracy / count});
    chart.speed.push_back({x, sumSpeed / count});
  }
  chart.markers = points <= 60;
  // Whole checks on the x axis, each at most once, and the speed axis in whole steps up to a
  // round number well above the fastest check: the speed line never runs along the top, where it
  // would read as 100 %.
  const double last = std::max<double>(1, static_cast<double>(n));
  chart.checks = {0.5, last + 0.5, 1, tickStep(last, 10)};
  chart.percent = {0, 100, 0, 20};
  const double speedTop = maxSpeed * 1.25;
  const double speedStep = tickStep(speedTop, 5);
  chart.speedScale = {0, std::ceil(speedTop / speedStep) * speedStep, 0, speedStep};
  // The same in words, the latest checks first.
  std::vector<std::string> words;
  for (std::size_t k = n; k > 0 && k + 10 > n; --k) {
    const ProgressPoint& c = p.checks[k - 1];
    words.push_back("проверка " + std::to_string(k) + " (" + localDate(c.time) +
                    "): " + whole(c.accuracy) + " %, " + std::to_string(c.speed) + " гр/мин");
  }
  chart.description = n == 0 ? "Проверок нет." : "Последние проверки: " + joined(words, "; ") + ".";
  return chart;
}

CharsChart charsChart(const Progress& p, bool reading) {
  CharsChart chart;
  const std::size_t shown = std::min(kShownChars, p.chars.size());
  chart.title =
      shown == 0
          ? (reading ? "Доля верно принятых знаков" : "Доля верно принятых знаков: проверок нет")
          : "Доля верно принятых знаков (%): худшие " + std::to_string(shown) + " из " +
                std::to_string(p.chars.size()) + "; под знаком — сколько раз передан";
  std::vector<std::string> words;
  for (std::size_t k = 0; k < shown; ++k) {
    const CharShare& c = p.chars[k];
    // Whole percents: the label on the bar says what the bar shows.
    const double share = std::round(c.share());
    chart.shares.push_back(share);
    chart.labels.push_back(utf8Of(c.ch) + "\n" + std::to_string(c.sent));
    words.push_back(utf8Of(c.ch) + ": " + whole(share) + " % из " + std::to_string(c.sent));
  }
  // From 0 % so that a bar's height is its share.
  chart.percent = {0, 100, 0, 20};
  chart.description =
      shown == 0 ? "Проверок нет." : "Верно принято, худшие первыми: " + joined(words, "; ") + ".";
  return chart;
}

}  // namespace

std::string localDate(std::int64_t time) { return localTime(time, "%d.%m.%Y"); }

std::string dayDate(std::int64_t day) {
  namespace chrono = std::chrono;
  const chrono::year_month_day date{chrono::sys_days{chrono::days{day}}};
  char buf[32];
  std::snprintf(buf, sizeof buf, "%02u.%02u.%04d", static_cast<unsigned>(date.day()),
                static_cast<unsigned>(date.month()), static_cast<int>(date.year()));
  return buf;
}

std::string durationText(std::int64_t seconds) {
  if (seconds < 60) return std::to_string(seconds) + " с";
  const std::int64_t minutes = (seconds + 30) / 60;
  if (minutes < 60) return std::to_string(minutes) + " мин";
  char buf[32];
  std::snprintf(buf, sizeof buf, "%lld ч %02lld мин", static_cast<long long>(minutes / 60),
                static_cast<long long>(minutes % 60));
  return buf;
}

double tickStep(double span, int most) {
  for (double magnitude = 1;; magnitude *= 10) {
    for (double m : {1.0, 2.0, 5.0}) {
      if (span / (m * magnitude) <= most) return m * magnitude;
    }
  }
}

StatisticsPresenter::StatisticsPresenter(StatisticsView& view, HistoryKeeper& history,
                                         std::function<std::int64_t()> now)
    : view_(view), history_(history), now_(std::move(now)) {
  if (!now_) {
    now_ = [] {
      return std::chrono::duration_cast<std::chrono::seconds>(
                 std::chrono::system_clock::now().time_since_epoch())
          .count();
    };
  }
}

void StatisticsPresenter::sourceChosen(int index) {
  source_ = index;
  redraw();
}

void StatisticsPresenter::periodChosen(int index) {
  period_ = index;
  redraw();
}

void StatisticsPresenter::reload() {
  history_.start();
  history_.update();
  redraw();
}

ProgressFilter StatisticsPresenter::filter() const {
  ProgressFilter f;
  if (source_ > 0) f.source = static_cast<TextSource>(source_ - 1);
  const std::int64_t today = history_.summary().dayOf(now_());
  if (period_ == 1) f.sinceDay = today - 6;
  if (period_ == 2) f.sinceDay = today;
  return f;
}

void StatisticsPresenter::redraw() {
  const HistorySummary& summary = history_.summary();
  view_.enableRemoveLast(!summary.checks().empty());
  progress_ = summary.progress(filter());
  std::vector<std::string> note;
  if (!history_.ready()) note.push_back("Читаю историю…");
  if (!history_.error().empty()) note.push_back(history_.error());
  if (progress_.checks.empty()) {
    if (history_.ready()) {
      note.push_back(summary.checks().empty()
                         ? "Проверок ещё нет: сыграйте передачу и проверьте приём."
                         : "С этим текстом за этот период проверок нет.");
    }
  } else {
    std::int64_t chars = 0, seconds = 0;
    for (const DayTotal& d : progress_.days) chars += d.chars, seconds += d.seconds;
    note.push_back("Проверок: " + std::to_string(progress_.checks.size()) + ", с " +
                   localDate(progress_.checks.front().time) + " по " +
                   localDate(progress_.checks.back().time) + "; знаков передано: " +
                   std::to_string(chars) + ", время передач: " + durationText(seconds) + ".");
  }
  const std::vector<std::int32_t>& damaged = summary.damagedLines();
  if (!damaged.empty()) {
    std::vector<std::string> lines;
    for (std::size_t i = 0; i < damaged.size() && i < 10; ++i) {
      lines.push_back(std::to_string(damaged[i]));
    }
    if (damaged.size() > 10) lines.push_back("…");
    note.push_back("Повреждённые строки пропущены (" + std::to_string(damaged.size()) +
                   "): " + joined(lines, ", ") + ".");
  }
  view_.showNote(joined(note, " "));
  view_.showAccuracy(accuracyChart(progress_, !history_.ready()));
  view_.showChars(charsChart(progress_, !history_.ready()));
  std::vector<std::string> confusions;
  for (const Confusion& c : progress_.confusions) {
    confusions.push_back(utf8Of(c.sent) + " принят за " + utf8Of(c.takenFor) + ": " +
                         std::to_string(c.count));
  }
  if (confusions.empty()) confusions.push_back("нет");
  view_.showConfusions(confusions);
  std::vector<DayRow> days;
  for (auto d = progress_.days.rbegin(); d != progress_.days.rend(); ++d) {  // the latest first
    days.push_back({dayDate(d->day), std::to_string(d->checks), std::to_string(d->chars),
                    durationText(d->seconds)});
  }
  view_.showDays(days);
}

void StatisticsPresenter::removeLastClicked() {
  const std::vector<CheckPoint>& checks = history_.summary().checks();
  if (checks.empty()) return;
  // The history's last check, whatever the filters show.
  const CheckPoint& last = checks.back();
  const std::string what = "проверка " + localTime(last.time, "%d.%m.%Y %H:%M") + " (" +
                           kSourceFilterItems[static_cast<std::size_t>(last.source) + 1] +
                           "): " + std::to_string(last.sent) + " знаков, " +
                           whole(last.accuracy()) + " %";
  if (!view_.confirm("Удалить из истории последнюю проверку — " + what +
                     "? Вернуть её будет нельзя.")) {
    return;
  }
  std::string said;
  try {
    const std::optional<CheckRecord> removed = history_.removeLastCheck();
    said = removed ? "Удалена " + what + "." : "В истории нет проверок.";
    if (removed && checkRemoved) {
      const std::string more = checkRemoved(*removed);
      if (!more.empty()) said += " " + more;
    }
  } catch (const std::exception& e) {
    said = std::string(e.what()) + " (" + history_.history().path() + ").";
  }
  view_.showRemoved(said);
  reload();
}

}  // namespace kelvak
