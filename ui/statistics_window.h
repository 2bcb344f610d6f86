// The statistics window: a filter bar (text kind and period) over sections of its own: accuracy
// per check with the speed; each character's share received correctly with how often it was sent,
// and the most frequent confusions; the totals of each day.
#pragma once

#include <QDialog>
#include <functional>

#include "training/history.h"
#include "training/progress.h"

class QChart;
class QChartView;
class QComboBox;
class QLabel;
class QListWidget;
class QPushButton;
class QTableWidget;
class QTabWidget;

namespace kelvak {

class StatisticsWindow : public QDialog {
  Q_OBJECT

 public:
  explicit StatisticsWindow(const History& history, QWidget* parent = nullptr);

  // Reads the history again and redraws everything.
  void reload();
  // Reads the history, then shows the window without blocking or brings it to the front.
  void showInFront();

  const Progress& progress() const { return progress_; }

  // The filter bar.
  QComboBox* sourceFilter = nullptr;  // every text kind, then digits, letters, mixture, file
  QComboBox* periodFilter = nullptr;  // all time, the last 7 days, today
  QLabel* noteLabel = nullptr;        // how many checks, over which days, and any damage
  // The sections, one a tab; more may be added.
  QTabWidget* sections = nullptr;
  QChartView* accuracyView = nullptr;
  QChartView* charsView = nullptr;
  QListWidget* confusionList = nullptr;
  QTableWidget* daysTable = nullptr;
  // Takes the last check out of the history, after a confirmation.
  QPushButton* removeLastButton = nullptr;
  QLabel* removedLabel = nullptr;  // what was removed, or why not

  // Asked before a check is removed: true to remove it. A question box unless replaced (tests).
  std::function<bool(const QString& question)> confirm;
  // Told of a check that was removed from the history, so that the course can take back the step
  // that check made; what it returns is said beside the removal.
  std::function<std::string(const CheckRecord& removed)> checkRemoved;
  // Asks, then removes the history's last check and redraws.
  void removeLastCheck();

 private:
  ProgressFilter filter() const;
  void redraw();
  void drawAccuracy();
  void drawChars();
  void fillDays();

  const History& history_;
  HistoryContents contents_;
  QString loadError_;
  Progress progress_;
};

}  // namespace kelvak
