// The learning modes on the main window, driven as a learner uses them: the course dialog, the
// weak characters' toggle and the drill, with a fake sound device, a hand-ticked timer and a data
// folder of the test's own.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QTest>
#include <filesystem>
#include <fstream>
#include <set>

#include "tests/ui/find_control.h"
#include "tests/ui/training_fixture.h"
#include "training/course_progress.h"
#include "training/history.h"
#include "ui/check_window.h"
#include "ui/course_dialog.h"
#include "ui/drill_window.h"
#include "ui/help_window.h"
#include "ui/main_window.h"
#include "ui/settings_keeper.h"
#include "ui/statistics_window.h"
#include "ui/training_menu.h"

namespace kelvak {
namespace {

using testing::control;

namespace fs = std::filesystem;

class LearningWindowsTest : public MainWindowWithTraining {
 protected:
  static std::set<char> charsOf(const std::string& pane) {
    std::set<char> out(pane.begin(), pane.end());
    out.erase(' ');
    return out;
  }
  QLabel* learningStatus() const { return form->findChild<QLabel*>("LearningStatus"); }
};

// Switched on in the dialog, the course sends only the lesson's characters and says so in the
// status bar; a check of 100 characters all right opens the next lesson, which the check window
// names and the course file keeps. Switched off, every digit comes again.
TEST_F(LearningWindowsTest, TheCourseSendsItsLessonAndMovesOnAfterAGoodCheck) {
  training->course->trigger();
  CourseDialog& dialog = training->courseDialog();
  dialog.onBox->setChecked(true);
  ASSERT_TRUE(learningStatus());
  EXPECT_TRUE(learningStatus()->isVisibleTo(form.get()));
  EXPECT_TRUE(learningStatus()->text().contains('1'));

  const std::string pane = playToEnd("20");
  EXPECT_EQ(charsOf(pane), (std::set<char>{'5', '0'}));  // lesson 1 of the digits

  CheckWindow& check = training->checkWindow();
  check.copyEdit->setText(QString::fromStdString(pane));
  QTest::mouseClick(check.checkButton, Qt::LeftButton);
  EXPECT_TRUE(check.historyLabel->text().contains(QString::fromUtf8("урок 2")))
      << check.historyLabel->text().toStdString();
  EXPECT_EQ(dialog.lessonBox->value(), 2);
  const CourseProgress kept = CourseFile((dir / "course.json").string()).load().progress;
  EXPECT_TRUE(kept.on);
  EXPECT_EQ(kept.lesson(CourseSet::Digits), 2);
  ASSERT_EQ(kept.steps.size(), 1u);

  EXPECT_EQ(charsOf(playToEnd("20")), (std::set<char>{'5', '0', '1'}));
  // Another text kind is another set: its own lesson, in the status bar at once.
  control<QRadioButton>(*form, "lettersButton")->setChecked(true);
  EXPECT_TRUE(learningStatus()->toolTip().contains(QString::fromUtf8("к м")));
  EXPECT_EQ(dialog.setBox->currentIndex(), 1);
  control<QRadioButton>(*form, "digitsButton")->setChecked(true);
  dialog.onBox->setChecked(false);
  EXPECT_FALSE(learningStatus()->isVisibleTo(form.get()));
  EXPECT_EQ(charsOf(playToEnd("40")).size(), 10u);
}

// The course goes on with the set chosen in its dialog after a restart, though the window starts
// with digits, and the status bar names that set beside the lesson.
TEST_F(LearningWindowsTest, TheCourseSendsTheChosenSetAfterARestart) {
  training->course->trigger();
  CourseDialog& dialog = training->courseDialog();
  dialog.onBox->setChecked(true);
  dialog.setBox->setCurrentIndex(1);  // letters
  const QString lettersStatus = learningStatus()->text();
  EXPECT_TRUE(lettersStatus.contains(control<QRadioButton>(*form, "lettersButton")->text()));

  training.reset();
  form = std::make_unique<MainWindow>(device, gate, &timer);
  training = std::make_unique<TrainingMenu>(*form, gate, (dir / "history.jsonl").string());
  EXPECT_TRUE(control<QRadioButton>(*form, "lettersButton")->isChecked());
  EXPECT_EQ(learningStatus()->text(), lettersStatus);
  // The progress bar, which lies over the status bar's right part, leaves the lesson uncovered.
  form->show();
  QTest::qWait(20);
  const QRect label(learningStatus()->mapTo(form.get(), QPoint(0, 0)), learningStatus()->size());
  const QRect bar(control<QProgressBar>(*form, "progressBar")->mapTo(form.get(), QPoint(0, 0)),
                  control<QProgressBar>(*form, "progressBar")->size());
  EXPECT_LT(bar.right(), label.left() + learningStatus()->contentsRect().left());
  EXPECT_GE(label.width(), learningStatus()->sizeHint().width());
  const QString pane = QString::fromStdString(playToEnd("20")).remove(' ');
  EXPECT_EQ(pane.size(), 100);
  for (const QChar c : pane) EXPECT_TRUE(c == QChar(u'к') || c == QChar(u'м')) << int{c.unicode()};
  // Another text kind while the course is on is the course's set from then on.
  control<QRadioButton>(*form, "digitsButton")->setChecked(true);
  EXPECT_TRUE(
      learningStatus()->text().contains(control<QRadioButton>(*form, "digitsButton")->text()));
  EXPECT_EQ(CourseFile((dir / "course.json").string()).load().progress.set, CourseSet::Digits);
}

// A check that opened the next lesson, taken back in the statistics window after the
// confirmation: the history loses it, the course goes back a lesson, and checking the same
// transmission again records it again.
TEST_F(LearningWindowsTest, TakingBackTheLastCheckTakesBackTheLessonItOpened) {
  training->course->trigger();
  training->courseDialog().onBox->setChecked(true);
  const std::string pane = playToEnd("20");
  CheckWindow& check = training->checkWindow();
  check.copyEdit->setText(QString::fromStdString(pane));
  QTest::mouseClick(check.checkButton, Qt::LeftButton);
  const CourseFile course((dir / "course.json").string());
  ASSERT_EQ(course.load().progress.lesson(CourseSet::Digits), 2);

  training->statistics->trigger();
  StatisticsWindow& stats = training->statisticsWindow();
  QStringList asked;
  stats.confirmRemoval = [&](const QString& question) {
    asked << question;
    return asked.size() > 1;  // the first time the learner says no
  };
  QTest::mouseClick(stats.removeLastButton, Qt::LeftButton);
  EXPECT_EQ(History((dir / "history.jsonl").string()).load().records.size(), 1u);
  QTest::mouseClick(stats.removeLastButton, Qt::LeftButton);
  ASSERT_EQ(asked.size(), 2);
  EXPECT_TRUE(History((dir / "history.jsonl").string()).load().records.empty());
  EXPECT_EQ(course.load().progress.lesson(CourseSet::Digits), 1);
  EXPECT_TRUE(course.load().progress.steps.empty());
  EXPECT_EQ(training->courseDialog().lessonBox->value(), 1);
  EXPECT_TRUE(stats.progress().checks.empty());
  EXPECT_FALSE(stats.removeLastButton->isEnabled());
  EXPECT_TRUE(stats.removedLabel->text().contains('1'));  // the lesson it went back to

  QTest::mouseClick(check.checkButton, Qt::LeftButton);
  EXPECT_EQ(History((dir / "history.jsonl").string()).load().records.size(), 1u);
  EXPECT_EQ(course.load().progress.lesson(CourseSet::Digits), 2);
}

// The window's controls, the training's items and the help window's size are bound to the kept
// settings: they come back at the next start as they were left, and the menu item returns to the
// start-up.
TEST_F(LearningWindowsTest, SettingsAreKeptAcrossRunsAndDamageIsSaidOnce) {
  const std::string file = (dir / "config" / "settings.json").string();
  HelpWindow help;
  auto start = [&] {
    training.reset();
    form = std::make_unique<MainWindow>(device, gate, &timer);
    auto keeper = std::make_unique<SettingsKeeper>(*form, &help, gate, file);
    training = std::make_unique<TrainingMenu>(*form, gate, (dir / "history.jsonl").string());
    keeper->setTraining(training.get());
    keeper->restore();
    return keeper;
  };
  auto keeper = start();
  EXPECT_EQ(keeper->current(), keeper->defaults());  // nothing kept: the start-up as always
  EXPECT_EQ(control<QSlider>(*form, "speedSlider")->value(), 12);

  control<QRadioButton>(*form, "lettersButton")->setChecked(true);
  control<QSlider>(*form, "speedSlider")->setValue(17);
  control<QSlider>(*form, "toneSlider")->setValue(700);
  control<QSlider>(*form, "noiseSlider")->setValue(100);
  control<QLineEdit>(*form, "groupCountEdit")->setText("12");
  control<UpDown>(*form, "charPauseArrows")->setPosition(3);
  control<QCheckBox>(*form, "specialSignsBox")->setChecked(true);
  training->hideText->setChecked(true);
  training->weakCharacters->setChecked(true);
  help.resize(800, 600);
  const KeptSettings left = keeper->current();
  keeper->save();

  help.resize(help.minimumSize());
  keeper = start();
  EXPECT_EQ(keeper->current(), left);
  EXPECT_TRUE(control<QRadioButton>(*form, "lettersButton")->isChecked());
  EXPECT_EQ(control<QSlider>(*form, "speedSlider")->value(), 17);
  EXPECT_EQ(control<QLineEdit>(*form, "groupCountEdit")->text(), "12");
  EXPECT_TRUE(training->weakCharacters->isChecked());
  EXPECT_EQ(help.size(), QSize(800, 600));

  keeper->defaultsItem->trigger();
  EXPECT_EQ(keeper->current(), keeper->defaults());
  EXPECT_TRUE(control<QRadioButton>(*form, "digitsButton")->isChecked());
  EXPECT_FALSE(training->hideText->isChecked());
  EXPECT_EQ(help.size(), help.minimumSize());
}

// A course file that cannot be written is said and the course goes on in memory; a damaged one is
// said when loaded, read as far as it can be, and kept aside, with its place said, by the first
// change. Every handler returns: an exception through Qt fails the test.
TEST_F(LearningWindowsTest, ACourseFileThatFailsIsSaidAndTheProgramGoesOn) {
  fs::create_directories(dir / "course.json");
  training->course->trigger();
  CourseDialog& dialog = training->courseDialog();
  dialog.onBox->setChecked(true);
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_TRUE(reports[0].startsWith(QString::fromUtf8("Курс не записан: ")))
      << reports[0].toStdString();
  EXPECT_TRUE(learningStatus()->isVisibleTo(form.get()));
  dialog.lessonBox->setValue(3);
  EXPECT_EQ(reports.size(), 2u);
  EXPECT_EQ(charsOf(playToEnd("20")), (std::set<char>{'5', '0', '1', '6'}));
  EXPECT_TRUE(fs::is_directory(dir / "course.json"));

  training.reset();
  reports.clear();
  fs::remove(dir / "course.json");
  const std::string damaged = R"({"on":true,"lessons":{"digits":"7","letters":4,"mixture":3}})";
  std::ofstream(dir / "course.json") << damaged;
  training = std::make_unique<TrainingMenu>(*form, gate, (dir / "history.jsonl").string());
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_TRUE(reports[0].contains(QString::fromStdString((dir / "course.json").string())));
  EXPECT_TRUE(reports[0].contains("lessons.digits")) << reports[0].toStdString();
  training->chooseLesson(1, 5);
  ASSERT_EQ(reports.size(), 2u);
  // The report ends the message with a full stop.
  const QString place = reports[1].section(QString::fromUtf8("сохранён как "), 1);
  ASSERT_TRUE(place.endsWith('.'));
  const std::string kept = place.chopped(1).toStdString();
  std::ifstream in(kept);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), damaged) << kept;
  const CourseState now = CourseFile((dir / "course.json").string()).load();
  EXPECT_EQ(now.progress.lessons, (std::array<int, 3>{1, 5, 3}));
  reports.clear();
}

// The drill sounds each character through the transmission's device, takes the window's keys as
// answers, moves the window's speed, replays a wrong character before the next comes, and records
// the session with the window's text kind.
TEST_F(LearningWindowsTest, TheDrillSoundsThroughTheWindowAndTakesItsKeys) {
  control<QRadioButton>(*form, "lettersButton")->setChecked(true);  // letters
  training->drill->trigger();
  DrillWindow& drill = training->drillWindow();
  QTest::mouseClick(drill.startButton, Qt::LeftButton);
  ASSERT_TRUE(drill.running());
  EXPECT_FALSE(drill.startButton->isEnabled());
  ASSERT_EQ(device.writes.size(), 1u);

  QTest::keyClick(&drill, '1');  // no letter: wrong, and it sounds again at the lower speed
  EXPECT_EQ(control<QSlider>(*form, "speedSlider")->value(), 12 - kSlowDownStep);
  ASSERT_EQ(device.writes.size(), 2u);
  EXPECT_EQ(device.writes[1].block,
            form->engine().buffers().blocks[drill.drill()->answers().back().symbol]);
  // The next character comes once the replay has been heard.
  ASSERT_TRUE(QTest::qWaitFor([&] { return device.writes.size() == 3; }, 5000));
  QTest::mouseClick(drill.stopButton, Qt::LeftButton);
  EXPECT_FALSE(device.isOpen());
  EXPECT_TRUE(drill.startButton->isEnabled());

  const HistoryContents history = History((dir / "history.jsonl").string()).load();
  ASSERT_EQ(history.drills.size(), 1u);
  EXPECT_EQ(history.drills[0].sent, 1);
  EXPECT_EQ(history.drills[0].source, TextSource::Letters);
}

}  // namespace
}  // namespace kelvak
