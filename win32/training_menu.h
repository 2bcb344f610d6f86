// The "Тренировка" menu of the Windows main window, bound to the training presenter.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>

#include "presenter/training_presenter.h"
#include "win32/statistics_window.h"
#include "win32/training_windows.h"

namespace kelvak::win32 {

class MainWindow;

class TrainingMenu : public TrainingView {
 public:
  // Puts the menu on the window's menu bar before "Справка"; the history is at `historyPath`.
  TrainingMenu(MainWindow& window, ErrorGate& gate, const std::string& historyPath);
  ~TrainingMenu() override;
  TrainingMenu(const TrainingMenu&) = delete;
  TrainingMenu& operator=(const TrainingMenu&) = delete;

  TrainingPresenter& presenter() { return *presenter_; }
  // A menu item of this menu was chosen; false for another's.
  bool command(int id);

 private:
  // --- TrainingView ---
  void learningChanged(int textKind, bool specialSigns) override;
  void setWeakTicked(bool on) override;
  void setHideTicked(bool on) override;
  void transmissionStarted() override;
  void keyExported(const ExportedKey& key) override;
  void checkRemoved(std::int64_t time) override;
  void historyRead() override;

  bool ticked(int id) const;
  void tick(int id, bool on);
  // The windows, made on first use.
  CheckWindow& checkWindow();
  StatisticsWindow& statisticsWindow();
  // The learning modes' part of the statistics window.
  void showSummary();
  CourseDialog& courseDialog();
  DrillWindow& drillWindow();
  void dispatch(const std::function<void()>& handler) { gate_.run(handler); }

  MainWindow& window_;
  ErrorGate& gate_;
  HMENU menu_ = nullptr;
  std::unique_ptr<TrainingPresenter> presenter_;
  std::unique_ptr<CheckWindow> check_;
  std::unique_ptr<CourseDialog> course_;
  std::unique_ptr<DrillWindow> drill_;
  std::unique_ptr<StatisticsWindow> statistics_;
};

}  // namespace kelvak::win32
