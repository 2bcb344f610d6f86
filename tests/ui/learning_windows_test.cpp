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

#include "synth/symbol_table.h"
#include "tests/ui/training_fixture.h"
#include "training/course_progress.h"
#include "training/history.h"
#include "ui/check_window.h"
#include "ui/course_dialog.h"
#include "ui/drill_window.h"
#include "ui/main_window.h"
#include "ui/training_menu.h"
#include "ui_main_window.h"

namespace kelvak {
namespace {

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
  form->ui().lettersButton->setChecked(true);
  EXPECT_TRUE(learningStatus()->toolTip().contains(QString::fromUtf8("к м")));
  EXPECT_EQ(dialog.setBox->currentIndex(), 1);
  form->ui().digitsButton->setChecked(true);
  dialog.onBox->setChecked(false);
  EXPECT_FALSE(learningStatus()->isVisibleTo(form.get()));
  EXPECT_EQ(charsOf(playToEnd("40")).size(), 10u);
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

// A drill of 100 characters sounds each through the transmission's device, speeds up the window's
// speed while the answers are right and fast, replays a wrong one, and records its accuracy and
// median reaction in the history as a drill.
TEST_F(LearningWindowsTest, ADrillOfAHundredCharactersIsRecorded) {
  form->ui().lettersButton->setChecked(true);  // letters
  training->drill->trigger();
  DrillWindow& drill = training->drillWindow();
  QTest::mouseClick(drill.startButton, Qt::LeftButton);
  ASSERT_TRUE(drill.running());
  ASSERT_EQ(device.writes.size(), 1u);

  drill.answer(U'ъ');  // no such character: wrong, and it sounds again at the lower speed
  EXPECT_EQ(form->ui().speedSlider->value(), 12 - kSlowDownStep);
  ASSERT_EQ(device.writes.size(), 2u);
  EXPECT_EQ(device.writes[1].block,
            form->engine().buffers().blocks[drill.drill()->answers().back().symbol]);
  // The next character comes once the replay has been heard.
  ASSERT_TRUE(QTest::qWaitFor([&] { return device.writes.size() == 3; }, 5000));

  for (int k = 1; k < 100; ++k) {
    drill.answer(SymbolTable[drill.drill()->current()].unicode);
  }
  EXPECT_EQ(form->ui().speedSlider->value(), kDrillMaxSpeed);
  QTest::mouseClick(drill.stopButton, Qt::LeftButton);
  EXPECT_FALSE(device.isOpen());

  const HistoryContents history = History((dir / "history.jsonl").string()).load();
  ASSERT_EQ(history.drills.size(), 1u);
  EXPECT_EQ(history.drills[0].sent, 100);
  EXPECT_EQ(history.drills[0].correct, 99);
  EXPECT_EQ(history.drills[0].source, TextSource::Letters);
  EXPECT_EQ(history.drills[0].medianReactionMs, 0);  // answered before the tone had ended
}

}  // namespace
}  // namespace kelvak
