// The training menu on the main window and its two windows, driven as a learner uses them, with a
// fake sound device, a hand-ticked timer and a history file of the test's own.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QtCharts/QChartView>
#include <QtCharts/QLineSeries>
#include <filesystem>
#include <fstream>

#include "synth/symbol_table.h"
#include "tests/fakes/fakes.h"
#include "training/history.h"
#include "ui/check_result_view.h"
#include "ui/check_window.h"
#include "ui/main_window.h"
#include "ui/statistics_window.h"
#include "ui/training_menu.h"
#include "ui_main_window.h"

namespace kelvak {
namespace {

namespace fs = std::filesystem;

class TrainingWindowsTest : public ::testing::Test {
 protected:
  ErrorReport report{[this](QMessageBox& b) { reports.push_back(b.text()); }};
  ErrorGate gate{report};
  testing::FakeTimer timer;
  testing::FakeDevice device;
  std::unique_ptr<TForm1> form;
  std::unique_ptr<TrainingMenu> training;
  std::vector<QString> reports;
  fs::path dir;

  void SetUp() override {
    dir = fs::temp_directory_path() /
          ("kelvak_training_ui_" + std::to_string(getpid()) + "_" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    device.clock = &timer.now;
    form = std::make_unique<TForm1>(device, gate, &timer);
    training = std::make_unique<TrainingMenu>(*form, gate, historyPath());
  }
  void TearDown() override {
    training.reset();
    form.reset();
    if (fs::exists(dir)) fs::permissions(dir, fs::perms::owner_all);
    fs::remove_all(dir);
    EXPECT_TRUE(reports.empty());
  }
  std::string historyPath() const { return (dir / "history.jsonl").string(); }
  bool tick() {
    return timer.fireNext([this] { form->timer1Ticked(); });
  }
  void playToEnd(const QString& groups) {
    form->ui().Edit1->setText(groups);
    QTest::mouseClick(form->ui().PlayButton, Qt::LeftButton);
    while (tick()) {
    }
  }
  // What was sent, as the pane shows it.
  std::string pane() const { return form->ui().Memo1->toPlainText().toStdString(); }
  int countOf(const char* className) {
    int n = 0;
    for (QWidget* w : QApplication::topLevelWidgets()) n += w->inherits(className) ? 1 : 0;
    return n;
  }
};

TEST_F(TrainingWindowsTest, TheMenuStandsBeforeHelpWithAnAccessKeyOfItsOwn) {
  const QList<QAction*> bar = form->ui().MainMenu1->actions();
  ASSERT_EQ(bar.size(), 4);
  EXPECT_EQ(bar[0], form->ui().Menu->menuAction());
  EXPECT_EQ(bar[1], training->menu->menuAction());
  EXPECT_EQ(bar[2], form->ui().N3->menuAction());
  EXPECT_EQ(bar[3], form->ui().N4);
  // Every access key of the window, the menu bar's and the buttons', is different.
  QStringList keys;
  for (QAction* a : bar) keys << QKeySequence::mnemonic(a->text()).toString();
  for (QAbstractButton* b : {static_cast<QAbstractButton*>(form->ui().PlayButton),
                             static_cast<QAbstractButton*>(form->ui().PauseButton),
                             static_cast<QAbstractButton*>(form->ui().StopButton)}) {
    keys << QKeySequence::mnemonic(b->text()).toString();
  }
  keys.removeAll(QString());
  EXPECT_EQ(keys.size(), 5) << keys.join(' ').toStdString();
  EXPECT_EQ(keys.removeDuplicates(), 0) << keys.join(' ').toStdString();
  // The items' own keys differ from each other too.
  QStringList items;
  for (QAction* a : training->menu->actions()) {
    if (!a->isSeparator()) items << QKeySequence::mnemonic(a->text()).toString();
  }
  EXPECT_EQ(items.removeDuplicates(), 0);
  EXPECT_TRUE(training->hideText->isCheckable());
  EXPECT_FALSE(training->hideText->isChecked());
}

TEST_F(TrainingWindowsTest, HiddenTextShowsOnlyWhenTheTransmissionEnds) {
  training->hideText->trigger();
  form->ui().Edit1->setText("2");
  QTest::mouseClick(form->ui().PlayButton, Qt::LeftButton);
  while (form->engine().open()) {
    ASSERT_TRUE(tick());
    if (form->engine().open()) {
      ASSERT_EQ(pane(), "");
    }
  }
  EXPECT_EQ(pane(), "80648 26167 ");
}

TEST_F(TrainingWindowsTest, ACheckShowsTheErrorsAndIsRecordedOncePerTransmission) {
  playToEnd("2");  // "80648 26167"
  training->checkReception->trigger();
  CheckWindow& w = training->checkWindow();
  ASSERT_TRUE(w.isVisible());
  QTest::keyClicks(w.copyEdit, "8048 26567x");
  QTest::keyClick(w.copyEdit, Qt::Key_Return);
  EXPECT_EQ(w.historyLabel->text(), QString::fromUtf8("Записано в историю."));  // checked once
  const CheckResult& r = w.result();
  EXPECT_EQ(r.sent, 10);
  EXPECT_EQ(r.missed, 1);
  EXPECT_EQ(r.wrong, 1);
  EXPECT_EQ(r.extra, 1);
  EXPECT_TRUE(w.summaryLabel->text().contains("72,7"));  // 8 of 11
  EXPECT_TRUE(w.missedLabel->text().contains("6 ×1"));
  EXPECT_TRUE(w.missedLabel->text().contains("1 ×1"));
  // The result reads without colours: beneath each error what was written.
  EXPECT_EQ(w.resultView->rowTexts(), (QStringList{QString::fromUtf8("80648  26167  +"),
                                                   QString::fromUtf8("  –      5    x")}));

  QTest::mouseClick(w.checkButton, Qt::LeftButton);  // checked again: not recorded twice
  HistoryContents h = History(historyPath()).load();
  ASSERT_EQ(h.records.size(), 1u);
  EXPECT_EQ(h.records[0].settings.speed, 12);
  EXPECT_EQ(h.records[0].settings.groups, 2);
  ASSERT_NE(h.records[0].tally(U'1'), nullptr);
  EXPECT_EQ(h.records[0].tally(U'1')->takenForCount(U'5'), 1);

  playToEnd("1");  // a new transmission is a new record
  QTest::mouseClick(w.checkButton, Qt::LeftButton);
  EXPECT_EQ(History(historyPath()).load().records.size(), 2u);
}

TEST_F(TrainingWindowsTest, AnUnwritableHistoryIsSaidInTheWindowAndTheResultStays) {
  fs::create_directories(dir);
  const std::string fifo = (dir / "fifo.jsonl").string();
  mkfifo(fifo.c_str(), 0644);
  // A full disk, a device that keeps nothing, and a FIFO no one reads, which must not hold the
  // window: neither Check nor Statistics waits for it.
  for (const std::string& path : {std::string("/dev/full"), std::string("/dev/null"), fifo}) {
    training.reset();
    training = std::make_unique<TrainingMenu>(*form, gate, path);
    playToEnd("1");
    CheckWindow& w = training->checkWindow();
    w.show();
    w.copyEdit->setText(QString::fromStdString(pane()));
    w.check();
    EXPECT_EQ(w.result().correct, 5) << path;
    EXPECT_TRUE(w.historyLabel->text().startsWith(kHistoryWriteFailed)) << path;
    if (path == fifo) {
      training->statistics->trigger();
      const QString note = training->statisticsWindow().noteLabel->text();
      EXPECT_TRUE(note.startsWith(kHistoryReadFailed) && note.contains("fifo.jsonl"))
          << note.toStdString();
    }
  }
}

TEST_F(TrainingWindowsTest, NothingIsCheckedBeforeOrDuringATransmission) {
  CheckWindow& w = training->checkWindow();
  w.copyEdit->setText("12345");
  w.check();
  EXPECT_EQ(w.result().sent, 0);
  QTest::mouseClick(form->ui().PlayButton, Qt::LeftButton);
  tick();
  tick();
  w.check();
  EXPECT_EQ(w.result().sent, 0);  // the hidden text must not show before the end
  EXPECT_FALSE(fs::exists(historyPath()));
}

TEST_F(TrainingWindowsTest, TheWindowsOpenWithoutBlockingOnceEachAndComeToTheFront) {
  const int checks = countOf("kelvak::CheckWindow");
  const int stats = countOf("kelvak::StatisticsWindow");
  for (int i = 0; i < 2; ++i) {
    training->checkReception->trigger();
    training->statistics->trigger();
  }
  EXPECT_EQ(countOf("kelvak::CheckWindow"), checks + 1);
  EXPECT_EQ(countOf("kelvak::StatisticsWindow"), stats + 1);
  EXPECT_TRUE(training->checkWindow().isVisible());
  EXPECT_TRUE(training->statisticsWindow().isVisible());
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
  EXPECT_FALSE(training->checkWindow().isModal());
  // Closing hides them and never ends the program.
  EXPECT_FALSE(training->checkWindow().testAttribute(Qt::WA_QuitOnClose));
}

TEST_F(TrainingWindowsTest, StatisticsShowEveryGoodRecordAndSayWhichLinesWereDamaged) {
  const History h(historyPath());
  RecordSettings s;
  for (int i = 0; i < 3; ++i) {
    s.speed = 10 + i;
    h.append(makeRecord(checkCopy(U"шшщ12", U"щщщ17"), s, 1'796'000'000 + i));
  }
  std::ofstream(historyPath(), std::ios::app) << "{\"time\":\n";
  training->statistics->trigger();
  StatisticsWindow& w = training->statisticsWindow();
  EXPECT_TRUE(w.noteLabel->text().contains(QString::fromUtf8("Проверок: 3")));
  EXPECT_TRUE(w.noteLabel->text().contains(QString::fromUtf8("пропущены (1): 4")));
  const auto series = w.accuracyView->chart()->series();
  ASSERT_EQ(series.size(), 2);  // accuracy and speed
  const auto* speed = qobject_cast<QLineSeries*>(series[1]);
  ASSERT_NE(speed, nullptr);
  ASSERT_EQ(speed->count(), 3);
  EXPECT_EQ(speed->at(2).y(), 12);
  ASSERT_GE(w.confusionList->count(), 2);
  EXPECT_EQ(w.confusionList->item(0)->text(), QString::fromUtf8("ш принят за щ: 6"));
  EXPECT_EQ(w.progress().chars.front().ch, U'ш');  // never right, and sent most
}

TEST_F(TrainingWindowsTest, ANewSequenceSendsOtherGroupsThanTheFixedStart) {
  training->newSequence->trigger();
  playToEnd("2");
  EXPECT_NE(pane(), "80648 26167 ");
  EXPECT_EQ(pane().size(), 12u);
}

}  // namespace
}  // namespace kelvak
