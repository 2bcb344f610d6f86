// The "Тренировка" menu of the main window: hiding the text while sending, the check window, the
// statistics window and a new random sequence. It sits beside the window's own menus and leaves
// them as they are.
#pragma once

#include <QObject>
#include <QPointer>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "playback/settings.h"
#include "playback/transmission.h"
#include "presenter/training_host.h"
#include "presenter/training_presenter.h"
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

// The menu and its windows; what they decide is the presenter's (TrainingPresenter).
class TrainingMenu : public QObject, public TrainingView {
  Q_OBJECT

 public:
  // Puts the menu on the window's menu bar before "Справка". Its commands and the check button
  // run through `gate`, as the window's own handlers do. `historyPath` empty: the history file in
  // the user's data folder. Must not outlive `window`; its end takes the menu and the windows with
  // it.
  TrainingMenu(MainWindow& window, ErrorGate& gate, std::string historyPath = {});
  ~TrainingMenu() override;

  // The history file in the user's data folder (userFilePath).
  static std::string defaultHistoryPath();

  // The windows, made on first use.
  CheckWindow& checkWindow();
  StatisticsWindow& statisticsWindow();
  CourseDialog& courseDialog();
  DrillWindow& drillWindow();

  const LearningPath& learning() const { return presenter_->learning(); }
  TrainingPresenter& presenter() { return *presenter_; }
  // Switches the course or the weak characters on or off, as the menu and the dialog do.
  void setCourseOn(bool on) { presenter_->setCourseOn(on); }
  void setWeakOn(bool on) { presenter_->setWeakOn(on); }
  void chooseLesson(int set, int lesson) { presenter_->chooseLesson(set, lesson); }

  QPointer<QMenu> menu;
  QAction* hideText = nullptr;
  QAction* checkReception = nullptr;
  QAction* statistics = nullptr;
  QAction* newSequence = nullptr;
  QAction* course = nullptr;
  QAction* weakCharacters = nullptr;
  QAction* drill = nullptr;

 private:
  // --- TrainingView ---
  void learningChanged(int textKind, bool specialSigns) override;
  void setWeakTicked(bool on) override;
  void setHideTicked(bool on) override;
  void transmissionStarted() override;
  void keyExported(const ExportedKey& key) override;
  void checkRemoved(std::int64_t time) override;
  void historyRead() override;

  MainWindow* window_;  // the window the training windows stay in front of
  ErrorGate& gate_;
  std::unique_ptr<TrainingPresenter> presenter_;
  // Children of the main window, so they stay in front of it like the help window.
  QPointer<CheckWindow> check_;
  QPointer<StatisticsWindow> statistics_;
  QPointer<LearningSummary> summary_;
  QPointer<CourseDialog> course_;
  QPointer<DrillWindow> drill_;
};

}  // namespace kelvak
