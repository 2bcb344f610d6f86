// The "Тренировка" menu of the main window: hiding the text while sending, the check window, the
// statistics window and a new random sequence. It sits beside the window's own menus and leaves
// them as they are.
#pragma once

#include <QObject>
#include <QPointer>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "playback/settings.h"
#include "playback/transmission.h"
#include "presenter/training_host.h"
#include "training/check_record.h"
#include "training/check_source.h"
#include "training/course_progress.h"
#include "training/history.h"
#include "training/learning_path.h"

class QAction;
class QMenu;
class QWidget;

namespace kelvak {

class CheckWindow;
class CourseDialog;
class DrillWindow;
class ErrorGate;
class LearningSummary;
class MainWindow;
class StatisticsWindow;

class TrainingMenu : public QObject {
  Q_OBJECT

 public:
  // Puts the menu on the window's menu bar before "Справка". Its commands and the check button
  // run through `gate`, as the window's own handlers do. `historyPath` empty: the history file in
  // the user's data folder. Must not outlive `host`; its end takes the menu and the two windows
  // with it.
  TrainingMenu(MainWindow& window, ErrorGate& gate, std::string historyPath = {});
  ~TrainingMenu() override;

  // The history file in the user's data folder (QStandardPaths::AppDataLocation).
  static std::string defaultHistoryPath();

  // The windows, made on first use.
  CheckWindow& checkWindow();
  StatisticsWindow& statisticsWindow();
  CourseDialog& courseDialog();
  DrillWindow& drillWindow();

  const LearningPath& learning() const { return learning_; }
  // Switches the course or the weak characters on or off, as the menu and the dialog do.
  void setCourseOn(bool on);
  void setWeakOn(bool on);
  void chooseLesson(int set, int lesson);

  QPointer<QMenu> menu;
  QAction* hideText = nullptr;
  QAction* checkReception = nullptr;
  QAction* statistics = nullptr;
  QAction* newSequence = nullptr;
  QAction* course = nullptr;
  QAction* weakCharacters = nullptr;
  QAction* drill = nullptr;

 private:
  void seedFromClock();
  RecordSettings keySettings(const std::string& keyPath) const;
  // Loads the course file and the history the modes read.
  void loadLearning();
  // Changes the course in the file under its lock and takes what the file then holds; a change
  // that cannot be written holds in memory, and either is reported, never thrown.
  void changeCourse(const std::function<void(CourseProgress&)>& change);
  void reloadHistory();
  // After a check went into the history: the course may move on. Says so, or nothing.
  std::string afterCheck(const CheckResult& result, const CheckSource& source, std::int64_t time);
  // A check taken out of the history: the course's step it made goes back.
  std::string checkRemoved(const CheckRecord& removed);
  // The window's text kind changed: while the course is on, it is the course's set.
  void textKindChanged();
  // The status bar's lesson text and the open dialog, after any change of the modes.
  void learningChanged();

  TrainingHost& host_;
  MainWindow* window_;  // the window the training windows stay in front of
  ErrorGate& gate_;
  History history_;
  // Children of the main window, so they stay in front of it like the help window.
  QPointer<CheckWindow> check_;
  QPointer<StatisticsWindow> statistics_;
  std::vector<ExportedKey> exported_;  // the keys written in this run
  QPointer<LearningSummary> summary_;
  QPointer<CourseDialog> course_;
  QPointer<DrillWindow> drill_;
  CourseFile courseFile_;
  LearningPath learning_;
};

}  // namespace kelvak
