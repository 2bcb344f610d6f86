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
#include "training/check_record.h"
#include "training/check_source.h"
#include "training/course_progress.h"
#include "training/history.h"
#include "training/history_keeper.h"
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
class StatisticsWindow;

// An answer key the main window has just written beside a sound file, with the settings of the
// transmission it holds.
struct ExportedKey {
  std::string keyPath;
  RecordSettings settings;
};

// What the training menu hears of the main window.
struct TrainingEvents {
  std::function<void()> transmissionStarted;  // after every Play
  std::function<void(const ExportedKey&)> exported;
};

// What the training menu needs of the main window, and no more.
class TrainingHost {
 public:
  virtual ~TrainingHost() = default;
  // The window the training windows stay in front of.
  virtual QWidget* hostWindow() = 0;
  // Puts the menu on the window's menu bar, before "Справка".
  virtual void insertTrainingMenu(QMenu* menu) = 0;
  virtual const Transmission& transmission() const = 0;
  virtual void setTransmittedTextHidden(bool hidden) = 0;
  // Starts the program's generator from another state: the next groups differ.
  virtual void reseedGenerator(std::uint64_t state) = 0;
  virtual void showStatus(const std::string& utf8) = 0;
  // The handlers the window calls from now on; empty ones are not called.
  virtual void setTrainingEvents(TrainingEvents events) = 0;
  // The settings the window shows now.
  virtual TransmissionSettings windowSettings() const = 0;

  // --- the learning modes ---
  // The window's settings the modes follow (the window's own controls answer them).
  virtual int textKind() const = 0;  // 0 digits, 1 letters, 2 mixture
  virtual bool specialSigns() const = 0;
  virtual int speed() const = 0;  // groups per minute
  virtual void chooseTextKind(int kind) = 0;
  virtual void chooseSpeed(int speed) = 0;  // as if the slider was moved
  // The weights each tick's draw picks from; none: the window's own even choice.
  virtual void setSymbolWeighting(Transmission::Weighting weighting) = 0;
  // A short text kept at the side of the status bar, with a longer one for its tooltip; empty:
  // none.
  virtual void setLearningStatus(const std::string& utf8, const std::string& detail) = 0;
  // The transmission, for the drill's single characters.
  virtual Transmission& drillEngine() = 0;
  // Ends a transmission that is open, as Stop does.
  virtual void stopTransmission() = 0;
  // Told whenever the text kind or the special signs change; empty: nothing is told.
  virtual void watchTextKind(std::function<void()> changed) = 0;
};

class TrainingMenu : public QObject {
  Q_OBJECT

 public:
  // Puts the menu on the window's menu bar before "Справка". Its commands and the check button
  // run through `gate`, as the window's own handlers do. `historyPath` empty: the history file in
  // the user's data folder. Must not outlive `host`; its end takes the menu and the two windows
  // with it.
  TrainingMenu(TrainingHost& host, ErrorGate& gate, std::string historyPath = {});
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
  // The history was read whole: the modes and an open statistics window show it.
  void historyRead();
  // After a check went into the history: the course may move on. Says so, or nothing.
  std::string afterCheck(const CheckResult& result, const CheckSource& source, std::int64_t time);
  // A check taken out of the history: the course's step it made goes back.
  std::string checkRemoved(const CheckRecord& removed);
  // The window's text kind changed: while the course is on, it is the course's set.
  void textKindChanged();
  // The status bar's lesson text and the open dialog, after any change of the modes.
  void learningChanged();

  TrainingHost& host_;
  ErrorGate& gate_;
  History history_;
  HistoryKeeper keeper_;  // what the statistics and the weak characters read of it
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
