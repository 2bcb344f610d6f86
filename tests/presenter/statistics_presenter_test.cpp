// The statistics window's rules with a fake view: what the note says, what the filters keep, what
// the charts are given, and taking the last check back.
#include "presenter/statistics_presenter.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>

#include "tests/fakes/window_thread.h"

namespace kelvak {
namespace {

namespace fs = std::filesystem;

struct FakeStatisticsView : StatisticsView {
  std::string note, removed;
  AccuracyChart accuracy;
  CharsChart chars;
  std::vector<std::string> confusions;
  std::vector<DayRow> days;
  bool removeEnabled = false;
  std::vector<std::string> asked;
  bool answer = true;

  void showNote(const std::string& n) override { note = n; }
  void showAccuracy(const AccuracyChart& c) override { accuracy = c; }
  void showChars(const CharsChart& c) override { chars = c; }
  void showConfusions(const std::vector<std::string>& lines) override { confusions = lines; }
  void showDays(const std::vector<DayRow>& rows) override { days = rows; }
  void enableRemoveLast(bool enabled) override { removeEnabled = enabled; }
  bool confirm(const std::string& question) override {
    asked.push_back(question);
    return answer;
  }
  void showRemoved(const std::string& text) override { removed = text; }
};

// A local noon, so that a day's checks stay on that day in any time zone.
constexpr std::int64_t kNow = 1'796'040'000;

class StatisticsPresenterTest : public ::testing::Test {
 protected:
  fs::path path = fs::temp_directory_path() /
                  ("kelvak_statistics_" + std::to_string(getpid()) + "_" +
                   ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".jsonl");
  History history{path.string()};
  FakeWindowThread window;
  HistoryKeeper keeper{history, window.post()};
  FakeStatisticsView view;
  StatisticsPresenter presenter{view, keeper, [] { return kNow; }};

  void TearDown() override { fs::remove(path); }
  void append(const std::u32string& sent, const std::u32string& copy, std::int64_t time,
              TextSource source = TextSource::Digits, int speed = 12) {
    RecordSettings s;
    s.source = source;
    s.speed = speed;
    s.groups = 1;
    history.append(makeRecord(checkCopy(sent, copy), s, time));
  }
};

TEST_F(StatisticsPresenterTest, AnEmptyHistorySaysHowToBeginAndOffersNoRemoval) {
  presenter.reload();
  EXPECT_EQ(view.note, "Проверок ещё нет: сыграйте передачу и проверьте приём.");
  EXPECT_FALSE(view.removeEnabled);
  EXPECT_TRUE(view.accuracy.accuracy.empty());
  EXPECT_EQ(view.accuracy.description, "Проверок нет.");
  EXPECT_EQ(view.confusions, std::vector<std::string>{"нет"});
  presenter.removeLastClicked();
  EXPECT_TRUE(view.asked.empty());
}

// Each row: the text kind and the period chosen, and the checks that count. The checks: digits a
// month ago, letters three days ago, digits today.
TEST_F(StatisticsPresenterTest, TheFiltersKeepTheChecksOfTheirKindAndPeriod) {
  append(U"12345", U"12345", kNow - 30 * 86400);
  append(U"абвгд", U"абвгж", kNow - 3 * 86400, TextSource::Letters);
  append(U"12345", U"12349", kNow);
  presenter.reload();
  struct Row {
    int source, period;
    std::size_t checks;
  };
  for (const Row& r : {Row{0, 0, 3}, Row{1, 0, 2}, Row{2, 0, 1}, Row{4, 0, 0}, Row{0, 1, 2},
                       Row{0, 2, 1}, Row{2, 2, 0}, Row{1, 1, 1}}) {
    presenter.sourceChosen(r.source);
    presenter.periodChosen(r.period);
    EXPECT_EQ(presenter.progress().checks.size(), r.checks) << r.source << " " << r.period;
    EXPECT_EQ(view.days.size(), presenter.progress().days.size());
    if (r.checks == 0) {
      EXPECT_EQ(view.note, "С этим текстом за этот период проверок нет.");
    } else {
      EXPECT_TRUE(view.note.starts_with("Проверок: " + std::to_string(r.checks) + ", с "))
          << view.note;
    }
  }
}

TEST_F(StatisticsPresenterTest, EveryGoodRecordCountsAndDamagedLinesAreNamed) {
  for (int i = 0; i < 3; ++i)
    append(U"шшщ12", U"щщщ17", 1'796'000'000 + i, TextSource::Digits, 10 + i);
  std::ofstream(path, std::ios::app) << "{\"time\":\n";
  for (int i = 0; i < 11; ++i) std::ofstream(path, std::ios::app) << "x\n";
  presenter.reload();
  EXPECT_TRUE(view.note.starts_with("Проверок: 3")) << view.note;
  EXPECT_TRUE(
      view.note.ends_with(". Повреждённые строки пропущены (12): 4, 5, 6, 7, 8, 9, 10, "
                          "11, 12, 13, …."))
      << view.note;
  ASSERT_EQ(view.accuracy.speed.size(), 3u);
  EXPECT_EQ(view.accuracy.speed[2].y, 12);
  EXPECT_TRUE(view.accuracy.markers);  // few checks: each a point, one has no line
  ASSERT_GE(view.confusions.size(), 2u);
  EXPECT_EQ(view.confusions[0], "ш принят за щ: 6");
  ASSERT_FALSE(view.chars.labels.empty());
  EXPECT_EQ(view.chars.labels[0], "ш\n6");  // never right, and sent most
  EXPECT_EQ(view.chars.shares[0], 0);
  ASSERT_EQ(view.days.size(), 1u);
  EXPECT_EQ(view.days[0].checks, "3");
  EXPECT_EQ(view.days[0].chars, "15");
}

// The scales: whole ticks, each check at most once, the speed well below the top of its own scale.
TEST_F(StatisticsPresenterTest, TheAxesShowWholeNumbersThatFitTheData) {
  for (int checks = 1; checks <= 25; ++checks) {
    const int speed = 13 + checks;
    append(U"шшщ12345", U"шщщ12345", 1'796'000'000 + checks, TextSource::Digits, speed);
    presenter.reload();
    const AccuracyChart& c = view.accuracy;
    for (const WholeAxis& a : {c.checks, c.percent, c.speedScale}) {
      EXPECT_GE(a.step, 1);
      EXPECT_EQ(a.step, std::round(a.step));
      EXPECT_EQ(a.anchor, std::round(a.anchor));
    }
    EXPECT_LE(c.checks.from, 1);
    EXPECT_GE(c.checks.to, checks);
    EXPECT_LE((c.checks.to - c.checks.from) / c.checks.step, 10.5);
    EXPECT_LE(speed, 0.8 * c.speedScale.to);
    EXPECT_EQ(std::fmod(c.speedScale.to, c.speedScale.step), 0);
    for (const double share : view.chars.shares) EXPECT_EQ(share, std::round(share));
    EXPECT_EQ(view.chars.percent.from, 0);
    EXPECT_EQ(view.chars.percent.to, 100);
  }
}

// A long history is drawn as the means of runs of consecutive checks, at most kMaxChartPoints,
// and every check is in exactly one run.
TEST_F(StatisticsPresenterTest, ALongHistoryIsDrawnAsTheMeansOfRuns) {
  {
    std::ofstream out(path, std::ios::binary);
    RecordSettings s;
    s.groups = 1;
    for (int i = 0; i < 2500; ++i) {
      s.speed = i < 1250 ? 10 : 20;
      out << toJsonLine(makeRecord(checkCopy(U"12345", i % 5 == 0 ? U"1234" : U"12345"), s,
                                   1'700'000'000 + i * 600));
    }
  }
  presenter.reload();  // read off this thread: a file this long is not read in place
  EXPECT_FALSE(keeper.ready());
  EXPECT_EQ(view.note, "Читаю историю…");
  EXPECT_EQ(view.accuracy.title.find("проверок нет"), std::string::npos);  // not known yet
  keeper.changed = [&] { presenter.reload(); };
  window.runUntil([&] { return keeper.ready(); });
  const AccuracyChart& c = view.accuracy;
  ASSERT_EQ(c.accuracy.size(), kMaxChartPoints);
  EXPECT_FALSE(c.markers);
  double weighted = 0;
  for (std::size_t k = 0; k < c.accuracy.size(); ++k) {
    const std::size_t from = k * 2500 / kMaxChartPoints, to = (k + 1) * 2500 / kMaxChartPoints;
    weighted += c.accuracy[k].y * static_cast<double>(to - from);
    EXPECT_DOUBLE_EQ(c.accuracy[k].x, static_cast<double>(from + to + 1) / 2);
  }
  // 500 checks at 80 %, 2000 at 100 %.
  EXPECT_NEAR(weighted / 2500, (500 * 80.0 + 2000 * 100.0) / 2500, 1e-9);
  EXPECT_EQ(c.speed.front().y, 10);
  EXPECT_EQ(c.speed.back().y, 20);
  EXPECT_EQ(c.checks.to, 2500.5);
}

TEST_F(StatisticsPresenterTest, TheLastCheckIsTakenBackOnlyWhenTheLearnerSaysYes) {
  append(U"12345", U"12345", kNow - 100);
  append(U"абвгд", U"абв", kNow, TextSource::Letters);
  presenter.reload();
  std::vector<std::int64_t> told;
  presenter.checkRemoved = [&](const CheckRecord& r) {
    told.push_back(r.time);
    return std::string("Курс вернулся к уроку 1.");
  };
  view.answer = false;
  presenter.removeLastClicked();
  ASSERT_EQ(view.asked.size(), 1u);
  // The history's last check, whatever the filters show: letters, 5 sent, 60 %.
  EXPECT_TRUE(view.asked[0].starts_with("Удалить из истории последнюю проверку — проверка "));
  EXPECT_TRUE(view.asked[0].ends_with("(буквы): 5 знаков, 60 %? Вернуть её будет нельзя."))
      << view.asked[0];
  EXPECT_EQ(presenter.progress().checks.size(), 2u);
  EXPECT_TRUE(told.empty());

  view.answer = true;
  presenter.removeLastClicked();
  EXPECT_EQ(told, std::vector<std::int64_t>{kNow});
  EXPECT_TRUE(view.removed.starts_with("Удалена проверка "));
  EXPECT_TRUE(view.removed.ends_with("60 %. Курс вернулся к уроку 1.")) << view.removed;
  EXPECT_EQ(presenter.progress().checks.size(), 1u);
  EXPECT_EQ(History(path.string()).load().records.size(), 1u);
  presenter.removeLastClicked();
  EXPECT_FALSE(view.removeEnabled);
  EXPECT_EQ(view.note, "Проверок ещё нет: сыграйте передачу и проверьте приём.");
}

TEST_F(StatisticsPresenterTest, AHistoryThatCannotBeReadIsSaidWithItsPath) {
  fs::create_directories(path);
  presenter.reload();
  EXPECT_TRUE(view.note.starts_with(kHistoryReadFailed)) << view.note;
  EXPECT_NE(view.note.find(path.string()), std::string::npos);
  fs::remove(path);
}

TEST(StatisticsTexts, DurationsAndDates) {
  struct Row {
    std::int64_t seconds;
    const char* text;
  };
  for (const Row& r :
       {Row{0, "0 с"}, Row{59, "59 с"}, Row{60, "1 мин"}, Row{89, "1 мин"}, Row{90, "2 мин"},
        Row{3569, "59 мин"}, Row{3570, "1 ч 00 мин"}, Row{3600 * 25 + 5 * 60, "25 ч 05 мин"}}) {
    EXPECT_EQ(durationText(r.seconds), r.text) << r.seconds;
  }
  EXPECT_EQ(dayDate(0), "01.01.1970");
  EXPECT_EQ(dayDate(20'778), "21.11.2026");
  EXPECT_EQ(dayDate(localDay(kNow)), localDate(kNow));
  EXPECT_EQ(tickStep(7, 10), 1);
  EXPECT_EQ(tickStep(11, 10), 2);
  EXPECT_EQ(tickStep(2500, 10), 500);
}

}  // namespace
}  // namespace kelvak
