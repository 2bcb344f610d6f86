// The training menu on the main window and its two windows, driven as a learner uses them, with a
// fake sound device, a hand-ticked timer and a history file of the test's own.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QDateTime>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTableWidget>
#include <QTest>
#include <QtCharts/QBarCategoryAxis>
#include <QtCharts/QBarSeries>
#include <QtCharts/QBarSet>
#include <QtCharts/QChartView>
#include <QtCharts/QLineSeries>
#include <QtCharts/QValueAxis>
#include <cmath>
#include <filesystem>
#include <fstream>

#include "synth/symbol_table.h"
#include "tests/ui/find_control.h"
#include "tests/ui/training_fixture.h"
#include "training/check_source.h"
#include "training/history.h"
#include "ui/about_box.h"
#include "ui/application_setup.h"
#include "ui/check_result_view.h"
#include "ui/check_window.h"
#include "ui/course_dialog.h"
#include "ui/drill_window.h"
#include "ui/help_window.h"
#include "ui/main_window.h"
#include "ui/sound_export.h"
#include "ui/statistics_window.h"
#include "ui/training_menu.h"

namespace kelvak {
namespace {

using testing::control;

namespace fs = std::filesystem;

class TrainingWindowsTest : public MainWindowWithTraining {
 protected:
  int countOf(const char* className) {
    int n = 0;
    for (QWidget* w : QApplication::topLevelWidgets()) n += w->inherits(className) ? 1 : 0;
    return n;
  }
};

// F10 ends the program from every window of it, as the help promises, not only from the main one.
enum class SecondWindow { Help, About, Check, Statistics, Course, Drill };

constexpr const char* kWindowNames[] = {"Help", "About", "Check", "Statistics", "Course", "Drill"};

class F10Quits : public TrainingWindowsTest, public ::testing::WithParamInterface<SecondWindow> {};

TEST_P(F10Quits, FromEveryWindowOfTheProgram) {
  HelpWindow help;
  AboutBox about;
  form->setSecondaryWindows(&about, &help);
  QWidget* windows[] = {&help,
                        &about,
                        &training->checkWindow(),
                        &training->statisticsWindow(),
                        &training->courseDialog(),
                        &training->drillWindow()};
  QWidget* window = windows[static_cast<int>(GetParam())];
  QSignalSpy exits(control<QAction>(*form, "exitItem"), &QAction::triggered);
  window->show();
  window->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window));
  QTest::keyClick(window, Qt::Key_F10);
  EXPECT_EQ(exits.count(), 1);
}

INSTANTIATE_TEST_SUITE_P(Windows, F10Quits,
                         ::testing::Values(SecondWindow::Help, SecondWindow::About,
                                           SecondWindow::Check, SecondWindow::Statistics,
                                           SecondWindow::Course, SecondWindow::Drill),
                         [](const auto& info) {
                           return std::string(kWindowNames[static_cast<int>(info.param)]);
                         });

TEST_F(TrainingWindowsTest, TheMenuStandsBeforeHelpWithAnAccessKeyOfItsOwn) {
  const QList<QAction*> bar = control<QMenuBar>(*form, "mainMenu")->actions();
  ASSERT_EQ(bar.size(), 4);
  EXPECT_EQ(bar[0], control<QMenu>(*form, "textMenu")->menuAction());
  EXPECT_EQ(bar[1], training->menu->menuAction());
  EXPECT_EQ(bar[2], control<QMenu>(*form, "helpMenu")->menuAction());
  EXPECT_EQ(bar[3], control<QAction>(*form, "exitItem"));
  // Every access key of the window, the menu bar's and the buttons', is different.
  QStringList keys;
  for (QAction* a : bar) keys << QKeySequence::mnemonic(a->text()).toString();
  for (QAbstractButton* b :
       {static_cast<QAbstractButton*>(control<QPushButton>(*form, "PlayButton")),
        static_cast<QAbstractButton*>(control<QPushButton>(*form, "PauseButton")),
        static_cast<QAbstractButton*>(control<QPushButton>(*form, "StopButton"))}) {
    keys << QKeySequence::mnemonic(b->text()).toString();
  }
  keys.removeAll(QString());
  EXPECT_EQ(keys.size(), 7) << keys.join(' ').toStdString();
  // Each also at its place in the other keyboard layout, where no other key may stand.
  for (const QString& key : QStringList(keys)) {
    keys << "Alt+" + QString(letterAtTheSamePlace(key.back())).toUpper();
  }
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
  control<QLineEdit>(*form, "groupCountEdit")->setText("2");
  QTest::mouseClick(control<QPushButton>(*form, "PlayButton"), Qt::LeftButton);
  while (form->engine().open()) {
    ASSERT_TRUE(tick());
    if (form->engine().open()) {
      ASSERT_EQ(pane(), "");
    }
  }
  EXPECT_EQ(pane(), "80648 26167 ");
}

// Enter in the copy checks once, through the menu's window; the labels and the drawn result show
// the check, a screen reader hears the errors in words, and a row longer than the view scrolls
// sideways.
TEST_F(TrainingWindowsTest, TheCheckWindowShowsTheCheckAndScrollsALongRow) {
  playToEnd("2");  // "80648 26167"
  training->checkReception->trigger();
  CheckWindow& w = training->checkWindow();
  ASSERT_TRUE(w.isVisible());
  w.copyEdit->setText(QString::fromUtf8("8048 26567ЖЖ"));
  QTest::keyClick(w.copyEdit, Qt::Key_Return);
  EXPECT_EQ(w.result().sent, 10);
  EXPECT_EQ(History(historyPath()).load().records.size(), 1u);
  for (QLabel* l : {w.summaryLabel, w.notesLabel, w.historyLabel})
    EXPECT_FALSE(l->text().isEmpty());
  QAccessibleInterface* view = QAccessible::queryAccessibleInterface(w.resultView);
  ASSERT_NE(view, nullptr);
  EXPECT_FALSE(view->text(QAccessible::Name).isEmpty());
  const QString words = view->text(QAccessible::Description);
  EXPECT_EQ(words.count(QString::fromUtf8("ж")), 2) << words.toStdString();

  w.resize(300, 400);
  w.copyEdit->setText("80648 26167" + QString(60, '3'));
  w.check();
  EXPECT_GT(w.resultView->horizontalScrollBar()->maximum(), 0);
}

TEST_F(TrainingWindowsTest, AHistoryThatIsAFifoIsSaidByTheStatisticsWithoutWaiting) {
  fs::create_directories(dir);
  const std::string fifo = (dir / "fifo.jsonl").string();
  mkfifo(fifo.c_str(), 0644);
  training.reset();
  training = std::make_unique<TrainingMenu>(*form, gate, fifo);
  training->statistics->trigger();
  const QString note = training->statisticsWindow().noteLabel->text();
  EXPECT_TRUE(note.startsWith(kHistoryReadFailed) && note.contains("fifo.jsonl"))
      << note.toStdString();
}

TEST_F(TrainingWindowsTest, NothingIsCheckedDuringATransmission) {
  CheckWindow& w = training->checkWindow();
  w.copyEdit->setText("12345");
  QTest::mouseClick(control<QPushButton>(*form, "PlayButton"), Qt::LeftButton);
  tick();
  tick();
  w.check();
  EXPECT_EQ(w.result().sent, 0);  // the hidden text must not show before the end
  EXPECT_FALSE(fs::exists(historyPath()));
}

TEST_F(TrainingWindowsTest, PlayTakesTheOldResultAway) {
  playToEnd("1");
  CheckWindow& w = training->checkWindow();
  w.copyEdit->setText("80641");
  w.check();
  ASSERT_EQ(w.result().wrong, 1);
  QTest::mouseClick(control<QPushButton>(*form, "PlayButton"), Qt::LeftButton);
  EXPECT_EQ(w.result().sent, 0);
  const QString shown = w.summaryLabel->text() + w.notesLabel->text() + w.historyLabel->text() +
                        w.resultView->accessibleDescription();
  EXPECT_TRUE(shown.isEmpty()) << shown.toStdString();
}

TEST_F(TrainingWindowsTest, AnExportedLessonIsCheckedAgainstItsKeyAndRecordedWithItsSettings) {
  control<QLineEdit>(*form, "groupCountEdit")->setText("2");
  control<QSlider>(*form, "speedSlider")->setValue(17);
  fs::create_directories(dir);
  const std::string audio = (dir / "lesson.wav").string();
  form->setFileDialogPresenter([&](QFileDialog& d) {
    d.selectFile(QString::fromStdString(audio));
    return true;
  });
  for (QAction* a : control<QMenu>(*form, "textMenu")->actions()) {
    if (a->text() == QString::fromUtf8(kSaveSoundCaption)) a->trigger();
  }
  ASSERT_TRUE(fs::exists(dir / "lesson.key.txt"));
  // The status bar names both files, and says where they went in its tooltip.
  EXPECT_TRUE(form->statusText().contains("lesson.wav"));
  EXPECT_TRUE(form->statusText().contains("lesson.key.txt"));
  EXPECT_TRUE(
      control<QStatusBar>(*form, "statusLine")->toolTip().contains(QString::fromStdString(audio)));

  CheckWindow& w = training->checkWindow();
  ASSERT_EQ(w.againstBox->count(), 2);
  EXPECT_EQ(w.againstBox->currentIndex(), 1);  // the key, though nothing was played
  w.copyEdit->setText("80648 26167");
  w.check();
  EXPECT_EQ(w.result().sent, 10);
  EXPECT_EQ(w.result().correct, 10);
  control<QSlider>(*form, "speedSlider")
      ->setValue(9);  // later changes of the window change nothing recorded
  w.check();
  HistoryContents h = History(historyPath()).load();
  ASSERT_EQ(h.records.size(), 1u);
  EXPECT_EQ(h.records[0].settings.speed, 17);
  EXPECT_EQ(h.records[0].settings.groups, 2);
  EXPECT_EQ(h.records[0].settings.source, TextSource::Digits);

  // A key from elsewhere: named by its file, with the window's settings of now.
  const fs::path other = dir / "other.key.txt";
  std::ofstream(other) << "шшщ12 \n";
  w.setFileDialogPresenter([&](QFileDialog& d) {
    d.selectFile(QString::fromStdString(other.string()));
    return true;
  });
  QTest::mouseClick(w.openKeyButton, Qt::LeftButton);
  EXPECT_EQ(w.againstBox->currentIndex(), 2);
  w.copyEdit->setText(QString::fromUtf8("шшщ1"));
  w.check();
  EXPECT_EQ(w.result().missed, 1);
  h = History(historyPath()).load();
  ASSERT_EQ(h.records.size(), 2u);
  EXPECT_EQ(h.records[1].settings.source, TextSource::File);
  EXPECT_EQ(h.records[1].settings.file, "other.key.txt");
  EXPECT_EQ(h.records[1].settings.speed, 9);
  EXPECT_EQ(h.records[1].settings.groups, 1);

  // Play makes the transmission the text to check against again.
  playToEnd("1");
  EXPECT_EQ(w.againstBox->currentIndex(), 0);
}

TEST_F(TrainingWindowsTest, AKeyThatCannotBeReadIsReported) {
  CheckWindow& w = training->checkWindow();
  w.setFileDialogPresenter([&](QFileDialog& d) {
    d.selectFile(QString::fromStdString((dir / "missing.key.txt").string()));
    return true;
  });
  QTest::mouseClick(w.openKeyButton, Qt::LeftButton);
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_TRUE(reports[0].contains("missing.key.txt"));
  reports.clear();
  EXPECT_EQ(w.againstBox->count(), 1);
}

TEST_F(TrainingWindowsTest, AnOpenStatisticsWindowShowsANewCheckAtOnce) {
  training->statistics->trigger();
  StatisticsWindow& s = training->statisticsWindow();
  EXPECT_TRUE(s.progress().checks.empty());
  playToEnd("1");
  training->checkReception->trigger();
  training->checkWindow().copyEdit->setText("80648");
  training->checkWindow().check();
  ASSERT_EQ(s.progress().checks.size(), 1u);
  // One check is drawn as a point: a line of one point would show nothing.
  const auto* accuracy = qobject_cast<QLineSeries*>(s.accuracyView->chart()->series().at(0));
  ASSERT_NE(accuracy, nullptr);
  EXPECT_EQ(accuracy->count(), 1);
  EXPECT_TRUE(accuracy->pointsVisible());
  // A screen reader hears a name for every part and the charts' figures in words.
  for (QWidget* part :
       {static_cast<QWidget*>(s.accuracyView), static_cast<QWidget*>(s.charsView),
        static_cast<QWidget*>(s.confusionList), static_cast<QWidget*>(s.daysTable)}) {
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(part);
    ASSERT_NE(a, nullptr);
    EXPECT_FALSE(a->text(QAccessible::Name).isEmpty()) << part->objectName().toStdString();
  }
  EXPECT_TRUE(QAccessible::queryAccessibleInterface(s.charsView)
                  ->text(QAccessible::Description)
                  .contains(QString::fromUtf8("8")));  // the 8 was sent and received once
  // The keyboard starts at the filters, not at a chart.
  EXPECT_EQ(s.focusProxy(), s.sourceFilter);
  EXPECT_EQ(s.accuracyView->focusPolicy(), Qt::NoFocus);
}

// The filters reach the presenter: a choice in either box shows only the checks it keeps.
TEST_F(TrainingWindowsTest, TheStatisticsFiltersAreBoundToWhatTheWindowShows) {
  const History h(historyPath());
  const std::int64_t now = QDateTime::currentSecsSinceEpoch();
  RecordSettings digits, letters;
  letters.source = TextSource::Letters;
  h.append(makeRecord(checkCopy(U"12345", U"12345"), digits, now - 30 * 86400));
  h.append(makeRecord(checkCopy(U"абвгд", U"абвгж"), letters, now));
  training->statistics->trigger();
  StatisticsWindow& s = training->statisticsWindow();
  EXPECT_EQ(s.daysTable->rowCount(), 2);
  s.sourceFilter->setCurrentIndex(2);  // letters
  EXPECT_EQ(s.progress().checks.size(), 1u);
  EXPECT_EQ(s.daysTable->rowCount(), 1);
  s.sourceFilter->setCurrentIndex(0);
  s.periodFilter->setCurrentIndex(2);  // today
  EXPECT_EQ(s.progress().checks.size(), 1u);
  EXPECT_TRUE(s.noteLabel->text().startsWith(QString::fromUtf8("Проверок: 1")));
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

// What the presenter decides is drawn as it says: both lines on their own scales with whole
// ticks, the bars with their labels, the confusions and the days.
TEST_F(TrainingWindowsTest, TheStatisticsChartsDrawWhatThePresenterGives) {
  const History h(historyPath());
  RecordSettings s;
  for (int i = 0; i < 3; ++i) {
    s.speed = 14 + i;
    h.append(makeRecord(checkCopy(U"шшщ12", U"щщщ17"), s, 1'796'000'000 + i));
  }
  training->statistics->trigger();
  StatisticsWindow& w = training->statisticsWindow();
  const auto series = w.accuracyView->chart()->series();
  ASSERT_EQ(series.size(), 2);  // accuracy and speed
  const auto* speed = qobject_cast<QLineSeries*>(series[1]);
  ASSERT_NE(speed, nullptr);
  ASSERT_EQ(speed->count(), 3);
  EXPECT_EQ(speed->at(2).y(), 16);
  const auto axes = w.accuracyView->chart()->axes();
  ASSERT_EQ(axes.size(), 3);
  for (QAbstractAxis* a : axes) {
    const auto* v = qobject_cast<QValueAxis*>(a);
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(v->tickType(), QValueAxis::TicksDynamic);
    EXPECT_EQ(v->labelFormat(), "%d");
  }
  const auto* speedAxis = qobject_cast<QValueAxis*>(axes[2]);
  EXPECT_LE(16, 0.8 * speedAxis->max());
  EXPECT_FALSE(speedAxis->isGridLineVisible());
  const auto* bars = qobject_cast<QBarSeries*>(w.charsView->chart()->series().at(0));
  ASSERT_NE(bars, nullptr);
  EXPECT_EQ(bars->barSets().at(0)->at(0), 0);  // ш: never right
  EXPECT_GE(bars->labelsPrecision(), 3);       // 100 stays 100 on its bar
  const auto* categories =
      qobject_cast<QBarCategoryAxis*>(w.charsView->chart()->axes(Qt::Horizontal).at(0));
  ASSERT_NE(categories, nullptr);
  EXPECT_EQ(categories->at(0), QString::fromUtf8("ш<br>6"));
  EXPECT_EQ(w.confusionList->item(0)->text(), QString::fromUtf8("ш принят за щ: 6"));
  ASSERT_EQ(w.daysTable->rowCount(), 1);
  EXPECT_EQ(w.daysTable->item(0, 1)->text(), "3");
}

TEST_F(TrainingWindowsTest, ANewSequenceSendsOtherGroupsThanTheFixedStart) {
  training->newSequence->trigger();
  playToEnd("2");
  EXPECT_NE(pane(), "80648 26167 ");
  EXPECT_EQ(pane().size(), 12u);
}

}  // namespace
}  // namespace kelvak
